#include "runtime/paths.h"

String PathJoin(const String& directory, const String& name) {
    if (directory.empty()) return name;
    if (directory.endsWith('\\')) return directory + name;
    return directory + "\\" + name;
}

String DirectoryPart(const String& path) {
    size_t cut = path.find_last_of("\\:");
    return cut == String::npos ? String() : path.substr(0, cut + 1);
}

String FilePart(const String& path) {
    size_t cut = path.find_last_of("\\:");
    return cut == String::npos ? path : path.substr(cut + 1);
}

namespace {

size_t ExtensionStart(const String& name) {
    size_t dot = name.rfind('.');
    if (dot == String::npos) return String::npos;
    if (name.find_first_of("\\:", dot) != String::npos) return String::npos;
    return dot;
}

}  // namespace

String UpperExtension(const String& name) {
    size_t dot = ExtensionStart(name);
    return dot == String::npos ? String() : UpperCase(name.substr(dot));
}

String ReplaceExtension(const String& name, const String& extension) {
    size_t dot = ExtensionStart(name);
    return (dot == String::npos ? name : name.substr(0, dot)) + extension;
}

String UnstagedExecutable(const String& name) {
    return UpperExtension(name) == ".$$$" ? ReplaceExtension(name, ".Exe") : name;
}

bool ReservedDeviceName(const String& name) {
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    size_t end = name.find('.');
    if (end == String::npos) end = name.size();
    while (end > 0 && name[end - 1] == ' ') --end;
    String stem = UpperCase(name.substr(0, end));
    for (const char* device : devices)
        if (stem == device) return true;
    bool numbered = stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9';
    return numbered && (stem.substr(0, 3) == "COM" || stem.substr(0, 3) == "LPT");
}
