#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

bool WriteFileAtomically(const std::string& path, const std::string& contents)
{
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, 0644) == 0;
    for (std::size_t done = 0; ok && done < contents.size();) {
        ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    std::remove(temp.c_str());
    return false;
}
