#include "setup/helpers.h"

#include <cctype>

std::string PathJoin(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (directory.back() == '\\') return directory + name;
    return directory + "\\" + name;
}

std::string DirectoryPart(const std::string& path) {
    size_t cut = path.find_last_of("\\:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

namespace {

size_t extensionStart(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return std::string::npos;
    if (name.find_first_of("\\:", dot) != std::string::npos) return std::string::npos;
    return dot;
}

}  // namespace

std::string UpperExtension(const std::string& name) {
    size_t dot = extensionStart(name);
    if (dot == std::string::npos) return std::string();
    std::string ext = name.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
    size_t dot = extensionStart(name);
    return (dot == std::string::npos ? name : name.substr(0, dot)) + extension;
}

std::string UnstagedExecutable(const std::string& name) {
    return UpperExtension(name) == ".$$$" ? ReplaceExtension(name, ".Exe") : name;
}
