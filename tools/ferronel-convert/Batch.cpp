#include "Batch.h"

#include "Convert.h"

#include "host/Exceptions.h"
#include "host/Picture.h"
#include "host/Thread.h"
#include "picture/Registrations.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>
#include <thread>

#include <unistd.h>

namespace ferronel {

namespace fs = std::filesystem;

namespace {

bool IsPictureFile(const fs::path& Path) {
    const std::string extension = AsciiLowerCase(ExtractPictureExtension(Path.filename().string()));
    return !extension.empty() && FindExt(extension) != nullptr;
}

// Whether Path lies inside Folder (both made absolute without needing to exist).
bool IsInside(const fs::path& Path, const fs::path& Folder) {
    const fs::path p = fs::weakly_canonical(Path), f = fs::weakly_canonical(Folder);
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi)
        if (fi->empty())
            continue; // a trailing separator
        else if (pi == p.end() || *pi != *fi)
            return false;
    return true;
}

std::string ErrorText(const std::error_code& Code) { return Code.message(); }

// Where a conversion ended.
enum TItemResult : uint8_t { irConverted, irKept, irFailed };

// Converts into a temporary file beside the output and only then gives it the output's name, so a
// failed conversion leaves nothing behind and, without Force, an output that appeared meanwhile is
// never replaced (a hard link fails on an existing name; where links are not supported the name is
// checked just before the rename).
TItemResult ConvertItem(const TBatchItem& Item, const std::string& Kind, bool Force, std::string& Reason) {
    const fs::path output(Item.Output);
    std::error_code code;
    if (!Force && fs::exists(output, code)) return irKept;
    fs::create_directories(output.parent_path(), code);
    if (!fs::is_directory(output.parent_path())) {
        Reason = "cannot make the folder " + output.parent_path().string() + ": " + ErrorText(code);
        return irFailed;
    }
    std::string temp = (output.parent_path() / ("." + output.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        Reason = "cannot write in " + output.parent_path().string() + ": " +
                 ErrorText({errno, std::generic_category()});
        return irFailed;
    }
    close(fd);
    try {
        ConvertFile(Item.Input, temp, Kind);
    } catch (const Exception& e) {
        Reason = e.Message();
    } catch (const std::exception& e) {
        Reason = e.what();
    }
    if (!Reason.empty()) {
        unlink(temp.c_str());
        return irFailed;
    }
    TItemResult result = irConverted;
    if (Force) {
        if (std::rename(temp.c_str(), Item.Output.c_str()) != 0) {
            Reason = "cannot write " + Item.Output + ": " + ErrorText({errno, std::generic_category()});
            result = irFailed;
        }
    } else if (link(temp.c_str(), Item.Output.c_str()) != 0) {
        const int error = errno;
        if (error == EEXIST) {
            result = irKept;
        } else if (fs::exists(output, code)) {
            result = irKept;
        } else if (std::rename(temp.c_str(), Item.Output.c_str()) == 0) {
            return irConverted;
        } else {
            Reason = "cannot write " + Item.Output + ": " + ErrorText({errno, std::generic_category()});
            result = irFailed;
        }
    }
    unlink(temp.c_str());
    return result;
}

bool ParseJobs(const std::string& Text, unsigned& Jobs) {
    if (Text.empty() || Text.size() > 4 || Text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    Jobs = unsigned(std::stoul(Text));
    return Jobs >= 1 && Jobs <= 1024;
}

// Parses the batch form; answers an error text for bad usage, empty when the options are sound.
std::string ParseBatchOptions(const std::vector<std::string>& Args, TBatchOptions& Options) {
    bool options = true;
    for (size_t i = 0; i < Args.size(); ++i) {
        const std::string& a = Args[i];
        auto value = [&]() -> const std::string* { return i + 1 < Args.size() ? &Args[++i] : nullptr; };
        if (!options || a == "-" || !a.starts_with("-")) {
            Options.Inputs.push_back(a);
        } else if (a == "--") {
            options = false;
        } else if (a == "-r" || a == "--recursive") {
            Options.Recursive = true;
        } else if (a == "--force") {
            Options.Force = true;
        } else if (a == "--to" || a.starts_with("--to=")) {
            const std::string* v = a == "--to" ? value() : nullptr;
            const std::string kind = AsciiLowerCase(v ? *v : a.size() > 5 ? a.substr(5) : "");
            if (kind.empty()) return "--to needs a format";
            if (!IsOutputKind(kind)) return "cannot write ." + kind + " files";
            Options.Kind = kind;
        } else if (a == "-o" || a == "--output") {
            const std::string* v = value();
            if (!v || v->empty()) return a + " needs a folder";
            Options.OutputFolder = *v;
        } else if (a == "-j" || a == "--jobs") {
            const std::string* v = value();
            if (!v || !ParseJobs(*v, Options.Jobs)) return a + " needs a number of files at once (1 or more)";
        } else if (a.starts_with("-j")) {
            if (!ParseJobs(a.substr(2), Options.Jobs))
                return "-j needs a number of files at once (1 or more)";
        } else {
            return "unknown option " + a;
        }
    }
    if (Options.Kind.empty()) return "--to FORMAT is missing";
    if (Options.OutputFolder.empty()) return "-o FOLDER is missing";
    if (Options.Inputs.empty()) return "no input files or folders";
    return {};
}

// The progress line: files done, failures and rate, redrawn in place.
void ShowProgress(std::ostream& Err, size_t Done, size_t Total, size_t Failed, double Seconds) {
    char line[160];
    std::snprintf(line, sizeof line, "\r%zu/%zu files, %zu failed, %.1f files/s ", Done, Total, Failed,
                  Seconds > 0 ? double(Done) / Seconds : 0.0);
    Err << line << std::flush;
}

} // namespace

bool IsBatchCommand(const std::vector<std::string>& Args) {
    for (const std::string& a : Args) {
        if (a == "--") break;
        if (a == "--to" || a.starts_with("--to=") || a == "-o" || a == "--output" || a == "-r" ||
            a == "--recursive" || a == "--force" || a == "--jobs" || a == "-j" ||
            (a.starts_with("-j") && a.find_first_not_of("0123456789", 2) == std::string::npos))
            return true;
    }
    return false;
}

std::vector<TBatchItem> PlanBatch(const TBatchOptions& Options, std::vector<TBatchFailure>& Missing) {
    std::vector<TBatchItem> items;
    const fs::path outputFolder(Options.OutputFolder);
    auto target = [&](fs::path Relative) {
        return (outputFolder / Relative.replace_extension(Options.Kind)).string();
    };
    for (const std::string& input : Options.Inputs) {
        std::error_code code;
        const fs::file_status status = fs::status(input, code);
        if (!fs::exists(status)) {
            Missing.push_back({input, code ? code.message() : "no such file or folder"});
            continue;
        }
        if (!fs::is_directory(status)) {
            items.push_back({input, target(fs::path(input).filename())});
            continue;
        }
        std::vector<fs::path> found;
        const auto walkOptions = fs::directory_options::skip_permission_denied;
        if (Options.Recursive) {
            for (auto it = fs::recursive_directory_iterator(input, walkOptions, code);
                 !code && it != fs::recursive_directory_iterator(); it.increment(code)) {
                if (it->is_directory() && IsInside(it->path(), outputFolder)) {
                    it.disable_recursion_pending();
                    continue;
                }
                if (it->is_regular_file() && IsPictureFile(it->path())) found.push_back(it->path());
            }
        } else {
            for (auto it = fs::directory_iterator(input, walkOptions, code);
                 !code && it != fs::directory_iterator(); it.increment(code))
                if (it->is_regular_file() && IsPictureFile(it->path())) found.push_back(it->path());
        }
        if (code) Missing.push_back({input, code.message()});
        std::sort(found.begin(), found.end());
        for (const fs::path& file : found)
            items.push_back({file.string(), target(file.lexically_relative(input))});
    }
    return items;
}

int BatchMain(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err, bool Terminal) {
    TBatchOptions options;
    if (const std::string problem = ParseBatchOptions(Args, options); !problem.empty()) {
        Err << "ferronel-convert: " << problem << "\n" << ConvertUsage();
        return 2;
    }
    InitializePictureFormats();
    PrepareConversions();
    std::vector<TBatchFailure> failures;
    std::vector<TBatchItem> items = PlanBatch(options, failures);

    // Two inputs that would write the same output: the later one is not converted, so neither
    // replaces the other's picture.
    std::vector<std::string> reasons(items.size());
    std::map<std::string, size_t> outputs;
    for (size_t i = 0; i < items.size(); ++i) {
        const auto [it, added] = outputs.emplace(fs::path(items[i].Output).lexically_normal().string(), i);
        if (!added)
            reasons[i] = "would write " + items[i].Output + " as " + items[it->second].Input + " does";
    }

    std::vector<TItemResult> results(items.size(), irFailed);
    std::atomic<size_t> next{0}, done{0}, failed{0};
    auto work = [&] {
        for (size_t i; (i = next++) < items.size();) {
            if (reasons[i].empty())
                results[i] = ConvertItem(items[i], options.Kind, options.Force, reasons[i]);
            if (results[i] == irFailed) ++failed;
            ++done;
        }
    };
    const unsigned jobs =
        std::max(1u, std::min<unsigned>(options.Jobs ? options.Jobs : std::thread::hardware_concurrency(),
                                        unsigned(std::max<size_t>(items.size(), 1))));
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(work);
    // Animated pictures paint their frames through the main thread, so it works that queue while it
    // waits; it redraws the progress line a few times a second.
    auto lastShown = seconds();
    while (done < items.size()) {
        CheckSynchronize(std::chrono::milliseconds(20));
        if (Terminal && seconds() - lastShown >= 0.2) {
            lastShown = seconds();
            ShowProgress(Err, done, items.size(), failed + failures.size(), lastShown);
        }
    }
    if (Terminal) ShowProgress(Err, done, items.size(), failed + failures.size(), seconds());
    for (std::thread& worker : workers) worker.join();
    if (Terminal) Err << "\n";

    size_t converted = 0, kept = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (results[i] == irConverted) ++converted;
        if (results[i] == irKept) ++kept;
        if (results[i] == irFailed) failures.push_back({items[i].Input, reasons[i]});
    }
    Out << converted << " converted, " << kept << " kept (the output exists; --force replaces it), "
        << failures.size() << " failed";
    if (converted > 0) {
        char rate[64];
        std::snprintf(rate, sizeof rate, " in %.2f s", seconds());
        Out << rate;
    }
    Out << "\n";
    for (const TBatchFailure& f : failures) Err << f.Input << ": " << f.Reason << "\n";
    return failures.empty() ? 0 : 1;
}

} // namespace ferronel
