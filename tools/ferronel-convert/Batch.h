// Batch conversion: many files and folders into one output folder that mirrors the inputs, several
// files at once. One bad file never stops the rest; each failure is listed at the end with its reason.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ferronel {

struct TBatchOptions {
    std::vector<std::string> Inputs; // files and folders, as given
    std::string OutputFolder;
    std::string Kind; // output format: bmp, png, pam or tga
    bool Recursive = false;
    bool Force = false; // replace existing outputs
    unsigned Jobs = 0;  // 0: one per core
};

// One file to convert: where it comes from and where it goes.
struct TBatchItem {
    std::string Input;
    std::string Output;
};

struct TBatchFailure {
    std::string Input;
    std::string Reason;
};

// Whether the arguments ask for the batch form (any of its options is present).
bool IsBatchCommand(const std::vector<std::string>& Args);

// The files the inputs name, in the order given: a file as it stands (whatever its extension),
// the pictures of a folder (extensions the picture registry knows, sorted by name; sub-folders too
// when Recursive, the output folder left out). A file goes to the output folder under its own
// name; a folder's pictures go under their path inside that folder. The extension becomes Kind's.
// Inputs that do not exist are Missing.
std::vector<TBatchItem> PlanBatch(const TBatchOptions& Options, std::vector<TBatchFailure>& Missing);

// ferronel-convert --to FORMAT -o FOLDER [-r] [-j N] [--force] INPUT...: the exit status (0 every
// file converted or kept, 1 any failed, 2 bad usage).
int BatchMain(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err, bool Terminal);

} // namespace ferronel
