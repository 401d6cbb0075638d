// Whether a wineserver has the prefix open: the server keeps a socket in a
// folder named after the prefix's device and inode.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix/machine.h"
#include "platform/posix/unique_fd.h"

namespace plat::posix {

namespace {

// True when a server answers on the socket.
bool ServerAnswers(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return false;
    // A socket left behind by a server that died refuses the connection.
    return connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

// The folders a wineserver may keep its socket in for this prefix: below
// /run/user/<uid>/wine when that exists, below the temporary folder named by
// the prefix's "wineserver" file (Debian's builds), or below /tmp/.wine-<uid>.
std::vector<std::string> ServerFolders(const struct stat& prefix) {
    char server[64];
    std::snprintf(server, sizeof server, "/server-%lx-%lx", static_cast<unsigned long>(prefix.st_dev),
                  static_cast<unsigned long>(prefix.st_ino));
    std::string uid = std::to_string(getuid());
    std::vector<std::string> folders = {"/run/user/" + uid + "/wine" + server, "/tmp/.wine-" + uid + server};
    std::ifstream named(PrefixFolder() + "/wineserver");
    std::string name;
    if (std::getline(named, name) && !name.empty() && name.find('/') == std::string::npos) {
        const char* tmp = std::getenv("TMPDIR");
        std::string root = tmp && *tmp ? tmp : "/tmp";
        folders.push_back(root + "/" + name + server);
        if (root != "/tmp") folders.push_back("/tmp/" + name + server);
    }
    return folders;
}

}  // namespace

bool PrefixInUse(std::string* message) {
    struct stat st;
    if (stat(PrefixFolder().c_str(), &st) != 0) return false;
    for (const std::string& folder : ServerFolders(st)) {
        if (!ServerAnswers(folder + "/socket")) continue;
        if (message)
            *message = "a wineserver has the prefix " + PrefixFolder() +
                       " open; end it (wineserver -k) and start again";
        return true;
    }
    return false;
}

}  // namespace plat::posix
