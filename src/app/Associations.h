// File associations: the picture types the association panel offers, and the key/value store
// ("registry") where the viewer records the extensions it owns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ferronel::app {

enum TRootKey : uint8_t { rkCurrentUser, rkClassesRoot };

// The store's operations as the panel uses them; one object per handler, closed when freed.
class TRegistry {
public:
    virtual ~TRegistry() = default;
    virtual void SetRootKey(TRootKey Root) = 0;
    // Opens a key by absolute path ("\\A\\B"), creating it when CanCreate; answers false when it
    // cannot be opened.
    virtual bool OpenKey(const std::string& Key, bool CanCreate) = 0;
    // An absent value reads as empty; a value that is not a string raises.
    virtual std::string ReadString(const std::string& Name) = 0;
    // Raises "Failed to set data for '%s'" when the store cannot be written.
    virtual void WriteString(const std::string& Name, const std::string& Value) = 0;
    virtual bool DeleteValue(const std::string& Name) = 0;
};

using TRegistryFactory = std::function<std::unique_ptr<TRegistry>()>;

inline constexpr const char* AssociationName = "Ferronel";
inline constexpr const char* FileExtsKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";
inline constexpr const char* ApplicationCommandKey = "\\Applications\\Ferronel\\shell\\open\\command";
inline constexpr const char* RegistryWriteFailed = "Failed to set data for '%s'";

struct TAssociationType {
    const char* Caption;
    std::vector<const char*> Extensions;
};

// The 24 types of the panel, in the order of their check boxes (45 extensions).
const std::vector<TAssociationType>& AssociationTypes();

// Whether the extension's "Application" value names this viewer (exactly, case counts; a value that
// is not a string does not).
bool IsAssociated(TRegistry& Registry, const std::string& Extension);
// Associates the extension, or removes the association when it is this viewer's; another
// program's association is left alone.
void DoReg(TRegistry& Registry, bool Associate, const std::string& Extension);

} // namespace ferronel::app
