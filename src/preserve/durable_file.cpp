#include "preserve/durable_file.h"

#include "core/file_ops.h"
#include "core/owned_folders.h"
#include "platform/platform.h"

std::string PathIn(const std::string& folder, const char* name) {
    if (folder.empty()) return std::string();
    return folder + name;
}

bool ReadRawFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    if (path.empty()) return false;
    plat::StreamHolder file(plat::OpenStream(path, "rb"));
    if (!file) return false;
    long length = plat::StreamLength(file.Get());
    if (length > 0) {
        bytes->resize(static_cast<std::size_t>(length));
        bytes->resize(plat::ReadStream(file.Get(), bytes->data(), bytes->size()));
    }
    file.Close();
    return true;
}

std::string TextModeView(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::string::size_type i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\x1a') break;
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += c;
    }
    return text;
}

bool WriteFileDurably(const std::string& path, const std::string& bytes) {
    if (path.empty()) return false;
    std::string fresh = path + ".new";
    // The move replaces path: the guard is asked for it as for the fresh copy.
    if (!RefusalReason(path, OwnedUse::kWrite).empty()) return false;
    plat::StreamHolder file(OpenForWriting(fresh, "wb"));
    if (!file) return false;
    bool written = bytes.empty() || plat::WriteStream(file.Get(), bytes.data(), bytes.size()) == bytes.size();
    written &= plat::CommitStream(file.Get()) == 0;
    written &= file.Close() == 0;
    if (written && plat::MoveFileReplace(fresh, path)) return true;
    DeleteOneFile(fresh);
    return false;
}
