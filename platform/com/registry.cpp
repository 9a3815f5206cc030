#include "registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::string_view kHeader = "ORVEX REGISTRY 1";
// A registry holds a few dozen keys; a larger file is damaged, and only its
// beginning is read.
constexpr std::size_t kMaxFileSize = 16u << 20;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Splits "a\b\c" into its names; false when a name is not valid.
bool SplitPath(std::string_view path, std::vector<std::string_view>* names)
{
    names->clear();
    while (true) {
        std::size_t cut = path.find('\\');
        std::string_view name = path.substr(0, cut);
        if (!RegistryKeyNameValid(name))
            return false;
        names->push_back(name);
        if (cut == std::string_view::npos)
            return true;
        path.remove_prefix(cut + 1);
    }
}

void AppendEscaped(std::string* out, std::string_view text)
{
    out->push_back('"');
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '\\': *out += "\\\\"; break;
        case '"': *out += "\\\""; break;
        case '\n': *out += "\\n"; break;
        case '\r': *out += "\\r"; break;
        case '\t': *out += "\\t"; break;
        default:
            if (IsControl(c)) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                *out += hex;
            } else {
                out->push_back(ch);
            }
        }
    }
    out->push_back('"');
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads a quoted string at the start of *line and removes it from *line.
bool TakeQuoted(std::string_view* line, std::string* out)
{
    std::string_view s = *line;
    if (s.empty() || s[0] != '"')
        return false;
    out->clear();
    std::size_t i = 1;
    for (; i < s.size(); ++i) {
        char ch = s[i];
        if (ch == '"')
            break;
        if (IsControl(static_cast<unsigned char>(ch)))
            return false;
        if (ch != '\\') {
            out->push_back(ch);
            continue;
        }
        if (++i == s.size())
            return false;
        switch (s[i]) {
        case '\\': out->push_back('\\'); break;
        case '"': out->push_back('"'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'x': {
            if (i + 2 >= s.size())
                return false;
            int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
            if (hi < 0 || lo < 0 || (hi == 0 && lo == 0))
                return false;
            out->push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            break;
        }
        default: return false;
        }
    }
    if (i >= s.size())
        return false;  // no closing quote: a truncated line
    line->remove_prefix(i + 1);
    return true;
}

bool ParseValueLine(std::string_view line, RegKey* key)
{
    std::string name;
    bool isDefault = false;
    if (!line.empty() && line[0] == '@') {
        isDefault = true;
        line.remove_prefix(1);
    } else if (!TakeQuoted(&line, &name)) {
        return false;
    }
    if (line.empty() || line[0] != '=')
        return false;
    line.remove_prefix(1);
    if (line.substr(0, 6) == "dword:") {
        line.remove_prefix(6);
        if (isDefault || line.empty() || line.size() > 8)
            return false;
        DWORD number = 0;
        for (char c : line) {
            int d = HexValue(c);
            if (d < 0)
                return false;
            number = number * 16 + static_cast<DWORD>(d);
        }
        key->SetDword(name, number);
        return true;
    }
    std::string text;
    if (!TakeQuoted(&line, &text) || !line.empty())
        return false;
    if (isDefault)
        key->defaultValue = std::move(text);
    else
        key->SetString(name, text);
    return true;
}

void SerializeKey(const RegKey& key, const std::string& path, std::string* out)
{
    // A key that holds only subkeys is implied by their sections.
    bool implied = !key.defaultValue && key.values.empty() && !key.subkeys.empty();
    if (!path.empty() && !implied) {
        *out += '[' + path + "]\n";
        if (key.defaultValue) {
            *out += "@=";
            AppendEscaped(out, *key.defaultValue);
            *out += '\n';
        }
        for (const auto& [name, value] : key.values) {
            AppendEscaped(out, name);
            if (value.type == RegValue::Type::Dword) {
                char number[16];
                std::snprintf(number, sizeof number, "=dword:%08X", value.number);
                *out += number;
            } else {
                *out += '=';
                AppendEscaped(out, value.text);
            }
            *out += '\n';
        }
    }
    for (const auto& [name, sub] : key.subkeys)
        SerializeKey(*sub, path.empty() ? name : path + '\\' + name, out);
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string Folder(const std::string& path)
{
    std::size_t cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

// mkdir -p for the folders above a file, private to the user.
bool MakeFolders(const std::string& folder)
{
    struct stat st;
    if (folder.empty() || ::stat(folder.c_str(), &st) == 0)
        return true;
    if (!MakeFolders(Folder(folder)))
        return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

bool RegistryNameLess::operator()(std::string_view a, std::string_view b) const
{
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        char x = Lower(a[i]), y = Lower(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

bool RegistryKeyNameValid(std::string_view name)
{
    if (name.empty() || name.size() > 255)
        return false;
    for (char ch : name)
        if (ch == '\\' || ch == ']' || IsControl(static_cast<unsigned char>(ch)))
            return false;
    return true;
}

RegKey* RegKey::Find(std::string_view path)
{
    return const_cast<RegKey*>(static_cast<const RegKey*>(this)->Find(path));
}

const RegKey* RegKey::Find(std::string_view path) const
{
    std::vector<std::string_view> names;
    if (!SplitPath(path, &names))
        return nullptr;
    const RegKey* key = this;
    for (std::string_view name : names) {
        auto it = key->subkeys.find(name);
        if (it == key->subkeys.end())
            return nullptr;
        key = it->second.get();
    }
    return key;
}

RegKey* RegKey::Create(std::string_view path)
{
    std::vector<std::string_view> names;
    if (!SplitPath(path, &names))
        return nullptr;
    RegKey* key = this;
    for (std::string_view name : names) {
        auto it = key->subkeys.find(name);
        if (it == key->subkeys.end())
            it = key->subkeys.emplace(std::string(name), std::make_unique<RegKey>()).first;
        key = it->second.get();
    }
    return key;
}

bool RegKey::Delete(std::string_view path)
{
    std::size_t cut = path.rfind('\\');
    RegKey* parent = cut == std::string_view::npos ? this : Find(path.substr(0, cut));
    if (parent == nullptr)
        return false;
    auto it = parent->subkeys.find(cut == std::string_view::npos ? path : path.substr(cut + 1));
    if (it == parent->subkeys.end())
        return false;
    parent->subkeys.erase(it);
    return true;
}

void RegKey::SetString(std::string_view name, std::string_view text)
{
    RegValue& v = values[std::string(name)];
    v.type = RegValue::Type::String;
    v.text = std::string(text);
    v.number = 0;
}

void RegKey::SetDword(std::string_view name, DWORD number)
{
    RegValue& v = values[std::string(name)];
    v.type = RegValue::Type::Dword;
    v.text.clear();
    v.number = number;
}

const std::string* RegKey::GetString(std::string_view name) const
{
    auto it = values.find(name);
    if (it == values.end() || it->second.type != RegValue::Type::String)
        return nullptr;
    return &it->second.text;
}

std::optional<DWORD> RegKey::GetDword(std::string_view name) const
{
    auto it = values.find(name);
    if (it == values.end() || it->second.type != RegValue::Type::Dword)
        return std::nullopt;
    return it->second.number;
}

std::string RegistrySerialize(const RegKey& root)
{
    std::string out(kHeader);
    out += '\n';
    SerializeKey(root, "", &out);
    return out;
}

int RegistryParse(std::string_view text, RegKey* root)
{
    int skipped = 0;
    RegKey* current = nullptr;
    bool first = true;
    while (!text.empty()) {
        std::size_t cut = text.find('\n');
        std::string_view line = text.substr(0, cut);
        text.remove_prefix(cut == std::string_view::npos ? text.size() : cut + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        bool header = first && line == kHeader;
        first = false;
        if (header || line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            current = nullptr;
            if (line.size() >= 2 && line.back() == ']')
                current = root->Create(line.substr(1, line.size() - 2));
            skipped += current == nullptr;
            continue;
        }
        if (current == nullptr || !ParseValueLine(line, current))
            ++skipped;
    }
    return skipped;
}

std::string RegistryFilePath()
{
    const char* env = std::getenv("ORVEX_REGISTRY");
    if (env != nullptr && *env != '\0')
        return env;
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    env = std::getenv("XDG_CONFIG_HOME");
    if (env != nullptr && env[0] == '/')
        return std::string(env) + "/orvex/registry";
    env = std::getenv("HOME");
    if (env != nullptr && env[0] == '/')
        return std::string(env) + "/.config/orvex/registry";
    return {};
}

HRESULT HResultFromErrno(int error)
{
    switch (error) {
    case 0: return S_OK;
    case ENOENT: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
    case ELOOP: return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOSPC:
    case EDQUOT: return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case ENOMEM: return E_OUTOFMEMORY;
    default: return E_FAIL;
    }
}

HRESULT RegistryLoad(const std::string& path, RegKey* root)
{
    if (root == nullptr || path.empty())
        return E_INVALIDARG;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? S_FALSE : HResultFromErrno(errno);
    struct stat st;
    HRESULT hr = S_OK;
    if (::fstat(fd, &st) != 0)
        hr = HResultFromErrno(errno);
    else if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
             (st.st_uid != ::geteuid() && st.st_uid != 0))
        hr = E_ACCESSDENIED;
    std::string text;
    while (SUCCEEDED(hr) && text.size() < kMaxFileSize) {
        char buffer[16384];
        ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, kMaxFileSize - text.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            hr = HResultFromErrno(errno);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (FAILED(hr))
        return hr;
    RegistryParse(text, root);
    return S_OK;
}

HRESULT RegistrySave(const std::string& path, const RegKey& root)
{
    if (path.empty())
        return E_INVALIDARG;
    std::string folder = Folder(path);
    if (!MakeFolders(folder))
        return HResultFromErrno(errno);
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return HResultFromErrno(errno);
    std::string text = RegistrySerialize(root);
    int error = 0;
    if (!WriteAll(fd, text) || ::fchmod(fd, 0600) != 0 || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return HResultFromErrno(error);
    }
    // Makes the rename itself durable.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return S_OK;
}

HRESULT RegistryRead(RegKey* root)
{
    std::string path = RegistryFilePath();
    if (path.empty())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    return RegistryLoad(path, root);
}

HRESULT RegistryUpdate(const std::function<HRESULT(RegKey& root)>& change)
{
    std::string path = RegistryFilePath();
    if (path.empty())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (!MakeFolders(Folder(path)))
        return HResultFromErrno(errno);
    std::string lockPath = path + ".lock";
    int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd < 0)
        return HResultFromErrno(errno);
    while (::flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
    }
    RegKey root;
    HRESULT hr = RegistryLoad(path, &root);
    if (SUCCEEDED(hr))
        hr = change(root);
    if (SUCCEEDED(hr)) {
        HRESULT saved = RegistrySave(path, root);
        if (FAILED(saved))
            hr = saved;
    }
    ::close(lockFd);  // releases the lock
    return hr;
}
