// The registry: a small tree of keys, each with an optional default value
// and named values (strings or 32-bit numbers), kept in one text file.
//
// The file is named by ORVEX_REGISTRY, else it is
// $XDG_CONFIG_HOME/orvex/registry (~/.config/orvex/registry). It reads like
// this:
//
//   ORVEX REGISTRY 1
//   [HKEY_CLASSES_ROOT\CLSID\{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}]
//   @="OrvexProxy Filter"
//   [HKEY_CLASSES_ROOT\CLSID\{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}\InprocServer32]
//   @="/usr/lib/orvex/OrvexProxy.ax"
//   "ThreadingModel"="Both"
//   "Merit"=dword:00200000
//
// A section line names a key by its full path; the value lines below it
// belong to that key ("@" is the default value). Strings escape \ and " with
// a backslash and control characters as \n, \r, \t or \xHH. Lines starting
// with ';' are comments. Key and value names compare without regard to
// ASCII letter case.
//
// Reading takes what it can: a line that does not parse is skipped (values
// under a malformed section line with it), so a damaged or truncated file
// loses only its damaged lines. Writing replaces the file atomically, and
// changes go through RegistryUpdate, which holds a lock file beside the
// registry so that two processes cannot lose each other's changes.
//
// The registry decides which code CoCreateInstance loads, so a registry file
// that others could have written is refused: it must be a regular file owned
// by the current user or root and writable by neither group nor others.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hresult.h"
#include "unknown.h"

struct RegistryNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

struct RegValue {
    enum class Type { String, Dword };
    Type type = Type::String;
    std::string text;
    DWORD number = 0;
};

class COM_API RegKey {
public:
    std::optional<std::string> defaultValue;
    std::map<std::string, RegValue, RegistryNameLess> values;
    std::map<std::string, std::unique_ptr<RegKey>, RegistryNameLess> subkeys;

    // path: key names separated by backslashes, relative to this key.
    RegKey* Find(std::string_view path);
    const RegKey* Find(std::string_view path) const;
    // Creates what is missing; null when the path is not a valid key path.
    RegKey* Create(std::string_view path);
    // Deletes the key with all its subkeys; false when there is none.
    bool Delete(std::string_view path);

    void SetString(std::string_view name, std::string_view text);
    void SetDword(std::string_view name, DWORD number);
    // The string value, or null when there is none or it is a number.
    const std::string* GetString(std::string_view name) const;
    std::optional<DWORD> GetDword(std::string_view name) const;
};

// A key name: 1 to 255 characters, no backslash, ']' or control character.
COM_API bool RegistryKeyNameValid(std::string_view name);

COM_API std::string RegistrySerialize(const RegKey& root);
// Adds what the text holds to root; returns the number of lines skipped.
COM_API int RegistryParse(std::string_view text, RegKey* root);

// The file's path; empty when neither ORVEX_REGISTRY, XDG_CONFIG_HOME nor
// HOME gives one.
COM_API std::string RegistryFilePath();

// Reads the file into root (which should be empty). S_OK; S_FALSE when
// there is no file (root stays empty); E_ACCESSDENIED for a file that fails
// the trust checks; another failure when the file cannot be read.
COM_API HRESULT RegistryLoad(const std::string& path, RegKey* root);
// Writes root to the file atomically (a temporary file, then a rename),
// creating missing folders. The file is left writable by its owner only.
COM_API HRESULT RegistrySave(const std::string& path, const RegKey& root);

// Reads the registry named by RegistryFilePath.
COM_API HRESULT RegistryRead(RegKey* root);
// Locks, reads, lets change edit the tree and, when it succeeds, writes the
// tree back. Returns change's result or the first failure.
COM_API HRESULT RegistryUpdate(const std::function<HRESULT(RegKey& root)>& change);

// An errno value as an HRESULT of the Win32 facility.
COM_API HRESULT HResultFromErrno(int error);
