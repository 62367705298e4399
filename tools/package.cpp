#include "tools/package.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <ostream>
#include <sstream>

#include "runtime/code_page.h"
#include "runtime/paths.h"
#include "runtime/text.h"
#include "tools/disk_source.h"
#include "tools/file_io.h"
#include "tools/name_text.h"
#include "tools/pe_image.h"
#include "tools/progress.h"
#include "tools/stream_codec.h"
#include "tools/table_file.h"
#include "tools/tool_error.h"

namespace fs = std::filesystem;

namespace pack {

namespace {

bool IsHelpFile(const std::string& name) { return UpperExtension(name) == ".HLP"; }

std::string Hex(uint32_t value) { return std::string("0x") + HexText(value, 8).c_str(); }

std::string DigestText(const uint8_t* digest) {
    std::string text;
    for (std::size_t i = 0; i < sha256Size; ++i) {  // as sha256sum prints it
        text += "0123456789abcdef"[digest[i] >> 4];
        text += "0123456789abcdef"[digest[i] & 15];
    }
    return text;
}

// The first name before names[i] that Windows takes for the same file, or i
// when there is none. names[0] is the main executable, installed as mainName
// (UTF-8, from the command line); the others are in codePage.
std::size_t EarlierSameName(const std::vector<std::string>& names, std::size_t i, const std::string& mainName,
                            unsigned codePage) {
    for (std::size_t j = 0; j < i; ++j)
        if (j == 0 ? names::SameFileName(names[i], codePage, mainName, names::utf8)
                   : names::SameFileName(names[i], codePage, names[j], codePage))
            return j;
    return i;
}

// The main executable has no entry: it runs from the start of the stream to the first entry.
int32_t MainSize(const table::PackageTable& t) {
    return t.entries.empty() ? t.decodedLength : t.entries.front().offset;
}

}  // namespace

std::vector<std::string> ReadFileList(const fs::path& path) {
    std::ifstream in(path);
    if (!in) throw ToolError(path.string() + ": cannot open the file list");
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        names.push_back(line.substr(start));
    }
    if (names.empty()) throw ToolError(path.string() + ": the file list names no files");
    return names;
}

namespace {

// The product's files in stream order, back to back.
struct Product {
    std::vector<std::string> names;  // the main executable first, as the list gives them
    std::vector<std::string> stored; // the same as the table holds them, in the target's code page
    std::vector<uint64_t> sizes;
    std::vector<uint8_t> stream;
};

// What goes on the disks.
struct DiskSet {
    std::string installerName;
    std::vector<uint8_t> installer;  // image and table
    std::size_t tableSize = 0;
    integrity::Record record;        // between the image and the table
    std::vector<uint8_t> archive;    // the compressed stream
    std::vector<uint64_t> volumes;   // its cut, one size a disk
};

// Checked before any file is read, so a name cannot reach outside the product
// folder; the table's names are the list's in the target's code page.
std::vector<std::string> StoredListNames(const std::vector<std::string>& names, unsigned codePage) {
    if (names[0].find_first_of("/\\:") != std::string::npos)
        throw ToolError("\"" + names::Shown(names[0], names::utf8) + "\": name has a directory part");
    std::vector<std::string> stored = {names[0]};
    for (std::size_t i = 1; i < names.size(); ++i) {
        stored.push_back(names::StoredName(names[i], codePage));
        std::string problem = table::NameProblemText(stored.back());
        if (!problem.empty()) throw ToolError("\"" + names::Shown(names[i], names::utf8) + "\": " + problem);
    }
    return stored;
}

// A product file, refused before it is read when the stream would outgrow
// the table's offsets.
std::vector<uint8_t> ReadProductFile(const fs::path& file, uint64_t streamSoFar) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) throw ToolError(file.string() + ": no such file in the product folder");
    uint64_t size = fs::file_size(file, ec);
    if (ec) throw ToolError(file.string() + ": cannot read its size");
    if (size > uint64_t(INT32_MAX) || streamSoFar + size > uint64_t(INT32_MAX))
        throw ToolError(file.string() + ": the decoded stream would pass 2,147,483,647 bytes, the most its " +
                        "signed 32-bit offsets and length can express");
    return ReadWholeFile(file);
}

Product ReadProduct(const BuildOptions& options) {
    Product product;
    product.names = ReadFileList(options.fileList);
    product.stored = StoredListNames(product.names, options.codePage);
    for (const std::string& name : product.names) {
        std::vector<uint8_t> data = ReadProductFile(options.productDir / fs::u8path(name), product.stream.size());
        product.sizes.push_back(data.size());
        product.stream.insert(product.stream.end(), data.begin(), data.end());
    }
    return product;
}

// The package table the list describes; checks names and sizes as it goes.
// Both names of a pair Windows takes for one file are named: either may be the one to change.
table::PackageTable PlanTable(const Product& product, const std::string& mainName, unsigned codePage) {
    const std::vector<std::string>& names = product.stored;
    const std::vector<uint64_t>& sizes = product.sizes;
    if (names.size() - 1 > table::maxEntries)
        throw ToolError("the list names " + std::to_string(names.size() - 1) +
                        " files besides the main executable; a package holds at most 255");
    if (sizes[0] == 0) throw ToolError(names[0] + ": the main executable is empty");
    table::PackageTable t;
    uint64_t offset = sizes[0];
    for (std::size_t i = 1; i < names.size(); ++i) {
        std::string shown = names::Shown(product.names[i], names::utf8);
        std::string problem = table::NameProblemText(names[i]);
        if (!problem.empty()) throw ToolError("\"" + shown + "\": " + problem);
        if (std::size_t j = EarlierSameName(names, i, mainName, codePage); j < i)
            throw ToolError((j == 0 ? "the main executable, installed as \"" + names::Shown(mainName, names::utf8) + "\","
                                    : "\"" + names::Shown(product.names[j], names::utf8) + "\"") +
                            " and \"" + shown + "\": name appears twice (Windows names ignore case)");
        t.entries.push_back(table::Entry{names[i], int32_t(offset), int32_t(sizes[i])});
        offset += sizes[i];
    }
    t.decodedLength = int32_t(offset);
    return t;
}

// The installer's substitute for a file it cannot replace: the name with ".$$$", cut to 20 characters.
std::string SubstituteName(const std::string& name) {
    String substitute = ReplaceExtension(name, ".$$$").substr(0, 20);
    return std::string(substitute.c_str(), substitute.size());
}

bool SameFileName(std::string a, const std::string& b) {
    while (!a.empty() && a.back() == '.') a.pop_back();  // Windows drops a final dot
    return SameTextIgnoringCase(a, b);
}

// The installer gives every substitute of one installation a name of its own,
// so a file whose first choice is taken is staged under another name than the
// product's maker may expect.
void WarnOfSharedSubstitutes(const std::vector<std::string>& names, const std::string& mainName,
                             unsigned codePage, std::ostream& warn) {
    auto shown = [codePage](const std::string& name) { return names::Shown(name, codePage); };
    std::vector<std::string> installed = names;
    installed[0] = mainName;
    std::vector<std::string> substitutes;
    for (const std::string& name : installed) substitutes.push_back(SubstituteName(name));
    for (std::size_t i = 0; i < installed.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j)
            if (SameTextIgnoringCase(substitutes[i], substitutes[j]))
                warn << "wardpack: warning: \"" << shown(installed[j]) << "\" and \"" << shown(installed[i])
                     << "\" both have the substitute name " << shown(substitutes[j])
                     << "; should both need one at installation, the second gets another\n";
        for (std::size_t j = 0; j < installed.size(); ++j)
            if (SameFileName(substitutes[i], installed[j]))
                warn << "wardpack: warning: the substitute name " << shown(substitutes[i]) << " of \""
                     << shown(installed[i]) << "\" is the name of \"" << shown(installed[j])
                     << "\"; should it need one at installation, it gets another\n";
    }
}

// A signed installer: the table would change what the signature covers, so
// the signature goes (the certificate table with its padding, the directory
// entry and the checksum the signing tool set) and the maker is told.
void RemoveSignature(std::vector<uint8_t>& image, const appended::Layout& layout, const std::string& what,
                     std::ostream& warn) {
    if (!layout.signedAtEnd)
        throw ToolError(what + ": carries a certificate table that does not end the file, a signature that no "
                               "longer holds; give the installer as built, and sign it after build");
    image.resize(layout.end);
    std::fill_n(image.begin() + layout.securityEntry, 8, 0);
    std::fill_n(image.begin() + layout.checksumField, 4, 0);
    warn << "wardpack: warning: " << what << " is signed; its signature is removed, since the package table "
         << "changes what it covers: sign the installer on disk 1 after build\n";
}

// The installer's executable image, without a table it may already carry.
std::vector<uint8_t> InstallerImage(const BuildOptions& options, std::ostream& warn) {
    std::vector<uint8_t> image = ReadWholeFile(options.installer);
    std::string what = options.installer.string();
    appended::Layout layout = ExecutableLayout(image.data(), image.size(), what);
    if (layout.coffSymbols)
        throw ToolError(what + ": carries a COFF symbol table (a debug build), where the installer looks for its "
                               "table; give it stripped (strip, or a Release build)");
    if (layout.certificatesSize) RemoveSignature(image, layout, what, warn);
    std::size_t appendedSize = layout.end - layout.start;
    table::Appended old;
    std::string error;
    bool isTable = appendedSize == 0 || (table::ReadAppended(image.data(), layout, old, error) &&
                                         table::Check(old.table).empty() &&
                                         old.record.presence != integrity::Presence::damaged);
    if (!isTable)
        throw ToolError(what + ": " + std::to_string(appendedSize) +
                        " bytes follow the executable image and are not a package table; give a freshly built installer");
    if (appendedSize && !options.replaceTable)
        throw ToolError(what + ": already carries a package table (" + std::to_string(old.table.entries.size()) +
                        " entries); pass --replace-table to replace it");
    image.resize(layout.start);
    return image;
}

// The installer goes into disk 1 itself, beside volume 1, never in its place;
// every volume's name is refused, as a one-folder disk set holds all three.
std::string InstallerNameOnDisk(const BuildOptions& options) {
    std::string name = options.installerName.empty() ? options.installer.filename().string() : options.installerName;
    if (name.find_first_of("/\\:") != std::string::npos || name == "." || name == "..")
        throw ToolError("\"" + name + "\": name has a directory part");
    for (unsigned d = 1; d <= diskset::diskCount; ++d)
        if (SameTextIgnoringCase(name, diskset::VolumeName(d)))
            throw ToolError("\"" + name + "\": a volume's name; give the installer another with --installer-name");
    return name;
}

// The record of what the disks must hold: each volume's length, CRC-32 and
// SHA-256, the table's CRC-32, the decoded stream's CRC-32 and SHA-256, and an
// identity of the whole set.
integrity::Record MakeRecord(const std::vector<uint8_t>& tableBytes, const Product& product, const DiskSet& set) {
    integrity::Record r;
    r.volumeCount = diskset::diskCount;
    r.tableCrc = table::Crc32(tableBytes.data(), tableBytes.size());
    r.streamCrc = table::Crc32(product.stream.data(), product.stream.size());
    Sha256Of(product.stream.data(), product.stream.size(), r.streamDigest);
    r.identity = r.tableCrc;
    uint64_t at = 0;
    for (unsigned v = 0; v < diskset::diskCount; ++v) {
        r.volumeLength[v] = uint32_t(set.volumes[v]);
        r.volumeCrc[v] = table::Crc32(set.archive.data() + at, set.volumes[v]);
        Sha256Of(set.archive.data() + at, set.volumes[v], r.volumeDigest[v]);
        r.identity = table::Crc32(set.archive.data() + at, set.volumes[v], r.identity);
        at += set.volumes[v];
    }
    return r;
}

constexpr std::size_t recordSize = integrity::tailSize + integrity::BodySize(diskset::diskCount);

std::vector<uint8_t> Compress(const std::vector<uint8_t>& stream, const BuildOptions& options) {
    Progress encoding("encoding", options.quiet);
    return EncodeWithProgress(stream, options.parse, encoding);
}

// Never ship what does not decode back.
void CheckDecodesBack(const std::vector<uint8_t>& archive, const std::vector<uint8_t>& stream,
                      const table::PackageTable& t, bool quiet) {
    Progress checking("checking", quiet);
    std::vector<uint8_t> back;
    DecodeStream(archive, t.decodedLength, &back, nullptr, checking);
    if (back != stream) throw ToolError("internal error: the compressed stream does not decode to the product");
}

// The disk set's files, staged in `outputs` to take their places together.
void StageDiskSet(const fs::path& outDir, const DiskSet& set, MadeFolders& folders, StagedFiles& outputs) {
    uint64_t at = 0;
    for (unsigned d = 1; d <= diskset::diskCount; ++d) {
        fs::path folder = outDir / diskset::DiskFolder(d);
        folders.Make(folder);
        if (d == 1) outputs.Write(folder / set.installerName, set.installer.data(), set.installer.size());
        outputs.Write(folder / diskset::VolumeName(d), set.archive.data() + at, set.volumes[d - 1]);
        at += set.volumes[d - 1];
    }
}

// extract puts help files in a folder Help: a file of that name beside them
// could not be unpacked. "" when there is no clash.
std::string HelpFolderClash(const std::vector<std::string>& names) {
    bool help = false;
    std::string file;
    for (const std::string& n : names) {
        help = help || IsHelpFile(n);
        if (SameTextIgnoringCase(n, "Help")) file = n;
    }
    return help && !file.empty() ? "\"" + file + "\" is the name of the folder that unpacked help files go to" : "";
}

void ReportBuild(const Product& product, const table::PackageTable& t, const DiskSet& set,
                 const BuildOptions& options, std::ostream& out) {
    const diskset::DiskSpace& space = options.space;
    const std::vector<uint8_t>& stream = product.stream;
    out << "product: " << product.names.size() << " files, " << stream.size() << " bytes (main executable "
        << product.sizes[0] << ", " << t.entries.size() << " entries)\n"
        << "compressed stream: " << set.archive.size() << " bytes ("
        << std::fixed << std::setprecision(1)
        << (stream.empty() ? 0.0 : 100.0 * set.archive.size() / stream.size()) << " %)\n"
        << "installer: " << set.installerName << ", " << set.installer.size() << " bytes with a " << set.tableSize
        << "-byte table and a " << recordSize << "-byte integrity record (identity " << Hex(set.record.identity)
        << ")\n";
    for (unsigned d = 0; d < diskset::diskCount; ++d) {
        uint64_t used = space.Used(set.volumes[d]) + (d == 0 ? space.Used(set.installer.size()) : 0);
        out << diskset::DiskFolder(d + 1) << ": " << diskset::VolumeName(d + 1) << " " << set.volumes[d]
            << " bytes, disk " << used << " of " << space.capacity << " bytes used"
            << (d == 0 && options.signatureRoom ? ", " + std::to_string(options.signatureRoom) +
                                                      " more kept for a signature"
                                                : "")
            << "\n";
    }
}

}  // namespace

void Build(const BuildOptions& options, std::ostream& out) {
    if (options.images && !diskset::FitsFloppyImages(options.space))
        throw ToolError("--images makes 1.44 MB floppies: --disk-size must be at most " +
                        std::to_string(diskset::floppyCapacity) + " and --cluster-size a multiple of " +
                        std::to_string(diskset::floppyCluster));
    UseCodePage(options.codePage);
    Product product = ReadProduct(options);
    table::PackageTable t = PlanTable(product, options.mainName, options.codePage);
    t.codePage = options.codePage;
    if (std::string clash = HelpFolderClash(product.stored); !clash.empty()) throw ToolError(clash);
    WarnOfSharedSubstitutes(product.stored, options.mainName, options.codePage, std::cerr);
    DiskSet set;
    std::vector<uint8_t> image = InstallerImage(options, std::cerr);
    std::vector<uint8_t> tableBytes = table::Serialise(t);
    set.installerName = InstallerNameOnDisk(options);
    set.tableSize = tableBytes.size();
    set.archive = Compress(product.stream, options);
    // A signature comes after build, on disk 1 beside the installer: its room is kept.
    set.volumes = diskset::PlanVolumes(set.archive.size(),
                                       image.size() + recordSize + tableBytes.size() + options.signatureRoom,
                                       options.space, options.volumeSizes);
    CheckDecodesBack(set.archive, product.stream, t, options.quiet);
    set.record = MakeRecord(tableBytes, product, set);
    std::vector<uint8_t> recordBytes = table::SerialiseRecord(set.record);
    set.installer = image;
    set.installer.insert(set.installer.end(), recordBytes.begin(), recordBytes.end());
    set.installer.insert(set.installer.end(), tableBytes.begin(), tableBytes.end());
    // The image's checksum covered its own bytes alone; a signing tool sets it again after signing.
    StoreChecksum(set.installer);
    // The folders and the images change together: a failure leaves the earlier set whole.
    MadeFolders folders;  // declared first, so the files staged in them go before they do
    StagedFiles outputs;
    StageDiskSet(options.outDir, set, folders, outputs);
    outputs.Commit();  // the images are made from the folders as they now stand
    if (options.images) diskset::StageImages(options.outDir, outputs);
    else diskset::StageImageRemoval(options.outDir, outputs);  // they would show the disks of an earlier build
    outputs.Commit();
    outputs.Keep();
    folders.Keep();
    ReportBuild(product, t, set, options, out);
    if (options.images) diskset::ReportImages(out);
}

// Prints the record (or says there is none) and checks the table against it.
// A record that fails its own check is not believed: disk 1, which carries
// it, is damaged, whatever the other disks hold.
void ReportRecord(const table::FoundRecord& found, const uint8_t* tableBytes, std::size_t tableSize,
                  const std::string& where, std::vector<std::string>& problems, std::ostream& out) {
    if (found.presence == integrity::Presence::absent) {
        out << "integrity record: none (made by an older build or by hand: the set is not checked)\n";
        return;
    }
    if (found.presence == integrity::Presence::damaged) {
        out << "integrity record: DAMAGED\n";
        problems.push_back("disk 1 is damaged: " + where + ": " + found.damage);
        return;
    }
    const integrity::Record& r = found.record;
    uint32_t tableCrc = table::Crc32(tableBytes, tableSize);
    out << "integrity record: version " << r.version << ", identity " << Hex(r.identity) << ", " << r.volumeCount
        << " volumes\n";
    bool digests = r.version >= 3;
    for (unsigned v = 0; v < r.volumeCount; ++v) {
        out << "  volume " << v + 1 << ": " << r.volumeLength[v] << " bytes, CRC-32 " << Hex(r.volumeCrc[v]) << "\n";
        if (digests) out << "    SHA-256 " << DigestText(r.volumeDigest[v]) << "\n";
    }
    out << "  table CRC-32 " << Hex(r.tableCrc) << (tableCrc == r.tableCrc ? " (matches)" : " (DOES NOT MATCH)")
        << ", decoded stream CRC-32 " << Hex(r.streamCrc) << "\n";
    if (digests) out << "  decoded stream SHA-256 " << DigestText(r.streamDigest) << "\n";
    else out << "  no SHA-256 digests (version " << r.version << "): the volumes are checked by CRC-32 alone\n";
    if (tableCrc != r.tableCrc)
        problems.push_back("the table does not match the record's checksum (" + Hex(tableCrc) + ", recorded " +
                           Hex(r.tableCrc) + ")");
    if (r.volumeCount != diskset::diskCount)
        problems.push_back("the record counts " + std::to_string(r.volumeCount) + " volumes, the installer joins " +
                           std::to_string(diskset::diskCount));
}

// The table and the record of an installer, found as the installer finds them.
// Its names are read in `codePage`, or else in the one the table records.
table::Appended ReadAppendedData(const diskset::DiskFile& installer, appended::Layout& layout, unsigned codePage) {
    const std::vector<uint8_t>& image = installer.data;
    layout = ExecutableLayout(image.data(), image.size(), installer.where);
    table::Appended found;
    std::string error;
    if (!table::ReadAppended(image.data(), layout, found, error)) throw ToolError(installer.where + ": " + error);
    if (codePage) found.table.codePage = codePage;
    UseCodePage(found.table.codePage);
    return found;
}

// The table's own problems, naming entries as the terminal can show them.
std::vector<std::string> TableProblems(const table::PackageTable& t) {
    std::vector<std::string> problems;
    for (const std::string& p : table::Check(t)) problems.push_back(names::Shown(p, t.codePage));
    return problems;
}

void ReportCodePage(const table::PackageTable& t, std::ostream& out) {
    if (t.codePage) out << "names in code page " << t.codePage << "\n";
}

bool List(const fs::path& source, const std::string& installerName, std::ostream& out, unsigned codePage) {
    diskset::DiskFile installer = diskset::ReadInstaller(source, installerName);
    appended::Layout layout;
    table::Appended found = ReadAppendedData(installer, layout, codePage);
    const table::PackageTable& t = found.table;
    out << installer.where << ": " << t.entries.size() << " entries, decoded length " << t.decodedLength
        << ", table of " << found.tableSize << " bytes at offset " << found.tableStart << "\n";
    if (layout.signedAtEnd)
        out << "signed: a certificate table of " << layout.certificatesSize << " bytes at offset "
            << layout.certificates << ", after " << layout.certificates - layout.end << " bytes of padding\n";
    ReportCodePage(t, out);
    out << "  #  name                     offset        size\n";
    out << "  -  (main executable)             0  " << std::setw(10) << MainSize(t) << "\n";
    for (std::size_t i = 0; i < t.entries.size(); ++i) {
        const table::Entry& e = t.entries[i];
        std::string name = names::Shown(e.name, t.codePage);
        name.append(20 - std::min<std::size_t>(20, names::Columns(name)), ' ');
        out << std::setw(3) << i + 1 << "  " << name << std::setw(11) << e.offset << "  " << std::setw(10) << e.size
            << "\n";
    }
    std::vector<std::string> problems = TableProblems(t);
    ReportRecord(found.record, installer.data.data() + found.tableStart, found.tableSize, installer.where, problems,
                 out);
    for (const std::string& p : problems) out << "problem: " << p << "\n";
    out << (problems.empty() ? "table: sound\n" : "table: NOT sound\n");
    return problems.empty();
}

namespace {

// The installer's PE checksum against its file as it stands, a signature
// included: "" when it matches or is 0, which says the file carries none.
std::string ChecksumProblem(const diskset::DiskFile& installer, std::ostream& out) {
    const std::vector<uint8_t>& file = installer.data;
    uint32_t field = ChecksumField(file.data(), file.size());
    uint32_t stored = field ? uint32_t(table::GetInt32(&file[field])) : 0;
    if (!stored) {
        out << "PE checksum: none (0, not checked)\n";
        return "";
    }
    uint32_t own = PeChecksum(file.data(), file.size(), field);
    if (stored == own) {
        out << "PE checksum " << Hex(stored) << " (matches)\n";
        return "";
    }
    out << "PE checksum " << Hex(stored) << " (DOES NOT MATCH the file's " << Hex(own) << ")\n";
    return installer.where + ": its PE checksum " + Hex(stored) + " is not the file's own " + Hex(own) +
           ": it was changed after it was built or signed, or built by an earlier wardpack, which left "
           "the checksum of the executable alone (build the set again)";
}

struct Unpacked {
    diskset::DiskFile installer;
    table::PackageTable table;
    std::vector<uint8_t> stream;  // decoded
    std::vector<std::string> problems;
    bool tableSound = false;      // by its own checks and the record's checksum
};

// Each volume against the record: its length, then its bytes, by SHA-256
// where the record has them (a CRC-32 can be restored by four chosen bytes).
void CheckVolumes(const table::FoundRecord& found, const std::vector<diskset::DiskFile>& volumes, uint32_t tableCrc,
                  std::vector<std::string>& problems) {
    const integrity::Record& r = found.record;
    uint32_t identity = tableCrc;
    for (std::size_t v = 0; v < volumes.size() && v < r.volumeCount; ++v) {
        const std::vector<uint8_t>& bytes = volumes[v].data;
        uint32_t crc = table::Crc32(bytes.data(), bytes.size());
        identity = table::Crc32(bytes.data(), bytes.size(), identity);
        // Of the right length, a CRC-32 alone cannot tell another build's volume from a damaged copy.
        if (bytes.size() != r.volumeLength[v])
            problems.push_back(volumes[v].where + ": " + std::to_string(bytes.size()) + " bytes, the record says " +
                               std::to_string(r.volumeLength[v]) + ": another set's volume, or a copy cut short");
        else if (crc != r.volumeCrc[v])
            problems.push_back(volumes[v].where + ": not this set's volume " + std::to_string(v + 1) +
                               ": its bytes do not match the record's CRC-32 (" + Hex(crc) + ", recorded " +
                               Hex(r.volumeCrc[v]) + "): another set's volume of the same length, or a damaged copy");
        else if (r.version >= 3) {
            uint8_t digest[sha256Size];
            Sha256Of(bytes.data(), bytes.size(), digest);
            if (!integrity::SameDigest(digest, r.volumeDigest[v]))
                problems.push_back(volumes[v].where + ": not this set's volume " + std::to_string(v + 1) +
                                   ": its CRC-32 matches, its SHA-256 does not (" + DigestText(digest) +
                                   ", recorded " + DigestText(r.volumeDigest[v]) +
                                   "): bytes chosen to pass the CRC-32, or a damaged copy");
        }
    }
    if (identity != r.identity)
        problems.push_back("the set's identity " + Hex(identity) + " is not the recorded " + Hex(r.identity));
}

// Reads and decodes a disk set; problems with the table or the stream are
// collected, and the stream is decoded whenever the table allows.
Unpacked Unpack(const UnpackOptions& options, std::ostream& out) {
    diskset::SetFiles found = diskset::ReadDiskSet(options.disks, options.installerName, out);
    Unpacked u;
    appended::Layout layout;
    table::Appended appendedData = ReadAppendedData(found.installer, layout, options.codePage);
    u.table = appendedData.table;
    ReportCodePage(u.table, out);
    u.problems = TableProblems(u.table);
    std::size_t tableSize = appendedData.tableSize;
    const uint8_t* tableBytes = found.installer.data.data() + appendedData.tableStart;
    const table::FoundRecord& record = appendedData.record;
    ReportRecord(record, tableBytes, tableSize, found.installer.where, u.problems, out);
    std::vector<std::string> names;
    for (const table::Entry& e : u.table.entries) names.push_back(e.name);
    if (std::string clash = HelpFolderClash(names); !clash.empty()) u.problems.push_back(clash);
    u.tableSound = u.problems.empty();
    if (u.table.decodedLength <= 0)
        throw ToolError(found.installer.where + ": decoded length " + std::to_string(u.table.decodedLength) +
                        " leaves nothing to decode");
    std::vector<uint8_t> archive;
    for (const diskset::DiskFile& volume : found.volumes) {
        out << volume.where << ": " << volume.data.size() << " bytes\n";
        archive.insert(archive.end(), volume.data.begin(), volume.data.end());
    }
    if (record.presence == integrity::Presence::present)
        CheckVolumes(record, found.volumes, table::Crc32(tableBytes, tableSize), u.problems);
    Progress progress("decoding", options.quiet);
    DecodeReport report = DecodeStream(archive, u.table.decodedLength, &u.stream, nullptr, progress);
    if (report.cutShort)
        u.problems.push_back("the volumes end early: the stream needs more than the " +
                             std::to_string(archive.size()) + " bytes they hold (decoding stopped after " +
                             std::to_string(report.written) + " of " + std::to_string(u.table.decodedLength) +
                             " bytes)");
    if (report.bytesUsed < archive.size())
        u.problems.push_back("the volumes hold " + std::to_string(archive.size() - report.bytesUsed) +
                             " bytes after the end of the stream");
    uint32_t streamCrc = table::Crc32(u.stream.data(), u.stream.size());
    uint8_t digest[sha256Size];
    Sha256Of(u.stream.data(), u.stream.size(), digest);
    bool checked = record.presence == integrity::Presence::present && !report.cutShort;
    if (checked && streamCrc != record.record.streamCrc)
        u.problems.push_back("the decoded stream does not match the record's CRC-32 (" + Hex(streamCrc) +
                             ", recorded " + Hex(record.record.streamCrc) + ")");
    else if (checked && record.record.version >= 3 && !integrity::SameDigest(digest, record.record.streamDigest))
        u.problems.push_back("the decoded stream does not match the record's SHA-256 (" + DigestText(digest) +
                             ", recorded " + DigestText(record.record.streamDigest) + ")");
    u.installer = std::move(found.installer);
    return u;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, int64_t offset, int64_t size) {
    if (offset < 0 || size < 0 || uint64_t(offset + size) > v.size()) return {};
    return std::vector<uint8_t>(v.begin() + offset, v.begin() + offset + size);
}

// The table keeps its entries apart, but the main executable's name comes from
// the command line: a disk set built with another --main-name may hold an
// entry by this one's name (UTF-8, as the command line gives it).
void CheckNoEntryTakesMainName(const table::PackageTable& t, const std::string& mainName) {
    for (std::size_t i = 0; i < t.entries.size(); ++i)
        if (!IsHelpFile(t.entries[i].name) && names::SameFileName(t.entries[i].name, t.codePage, mainName, names::utf8))
            throw ToolError("entry " + std::to_string(i + 1) + ", " + names::Shown(t.entries[i].name, t.codePage) +
                            ", would overwrite the main executable; give it another name with --main-name");
}

// The UTF-8 name an entry is unpacked under: a name in a code page is
// converted; without a known code page only plain ASCII is taken.
std::string FileName(const table::PackageTable& t, std::size_t i) {
    const std::string& name = t.entries[i].name;
    if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return name;
    std::string converted;
    std::string entry = "entry " + std::to_string(i + 1) + ", \"" + names::Shown(name, t.codePage) + "\", ";
    if (!t.codePage)
        throw ToolError(entry + "is not plain ASCII and the table records no code page: give it with --code-page");
    if (!names::ToUtf8(name, t.codePage, converted))
        throw ToolError(entry + "is not a name in code page " + std::to_string(t.codePage));
    return converted;
}

}  // namespace

bool Verify(const UnpackOptions& options, const fs::path& productDir, const fs::path& fileList, std::ostream& out) {
    Unpacked u = Unpack(options, out);
    bool tableUsable = u.tableSound;
    out << "decoded " << u.stream.size() << " bytes\n";
    if (std::string problem = ChecksumProblem(u.installer, out); !problem.empty()) u.problems.push_back(problem);
    if (!productDir.empty() && tableUsable) {
        std::vector<std::string> names = ReadFileList(fileList);
        if (names.size() != u.table.entries.size() + 1)
            u.problems.push_back("the list names " + std::to_string(names.size()) + " files, the table " +
                                 std::to_string(u.table.entries.size() + 1) + " (with the main executable)");
        for (std::size_t i = 0; i < names.size() && i <= u.table.entries.size(); ++i) {
            int64_t offset = i == 0 ? 0 : u.table.entries[i - 1].offset;
            int64_t size = i == 0 ? MainSize(u.table) : u.table.entries[i - 1].size;
            std::string listed = names::Shown(names[i], names::utf8);
            // The list's name for the file the entry installs, in any case Windows takes for it.
            if (i > 0 && !names::SameFileName(u.table.entries[i - 1].name, u.table.codePage, names[i], names::utf8))
                u.problems.push_back("entry " + std::to_string(i) + " is " +
                                     names::Shown(u.table.entries[i - 1].name, u.table.codePage) +
                                     ", the list says " + listed);
            bool same = ReadWholeFile(productDir / fs::u8path(names[i])) == Slice(u.stream, offset, size);
            out << (same ? "same:    " : "DIFFERS: ") << listed << "\n";
            if (!same) u.problems.push_back(listed + ": unpacked bytes differ from the product's file");
        }
    }
    for (const std::string& p : u.problems) out << "problem: " << p << "\n";
    out << (u.problems.empty() ? "disk set: verified\n" : "disk set: FAILED\n");
    return u.problems.empty();
}

bool Extract(const UnpackOptions& options, const fs::path& outDir, std::ostream& out) {
    Unpacked u = Unpack(options, out);
    if (!u.problems.empty()) {
        std::string all;
        for (const std::string& p : u.problems) all += "\n  " + p;
        // The table's own checks guard the file names and ranges: never overridden.
        if (!options.force || !table::Check(u.table).empty())
            throw ToolError("the disk set cannot be unpacked as it stands:" + all +
                            (table::Check(u.table).empty() ? "\n(--force unpacks it all the same)" : ""));
        std::cerr << "wardpack: warning: unpacking a disk set that failed its checks, as --force asks:" << all << "\n";
    }
    CheckNoEntryTakesMainName(u.table, options.mainName);
    MadeFolders folders;
    folders.Make(outDir);
    std::error_code ec;
    // A link there would carry the help files out of the output folder.
    if (fs::is_symlink(outDir / "Help", ec))
        throw ToolError((outDir / "Help").string() + ": a symbolic link; extract writes into no folder it leads to");
    // Every file is written before any takes its place: a failure leaves the folder as it was.
    std::vector<std::string> fileNames;
    for (std::size_t i = 0; i < u.table.entries.size(); ++i) fileNames.push_back(FileName(u.table, i));
    StagedFiles outputs;
    std::ostringstream placed;
    std::string incomplete;
    // A stream that ends early (--force) leaves files it never reached whole: those are not written.
    auto place = [&](const fs::path& folder, const std::string& name, int64_t offset, int64_t size) {
        std::string shown = (folder == outDir ? "" : "Help/") + names::Escaped(name, true);
        if (offset + size > int64_t(u.stream.size())) {
            incomplete += "\n  " + shown;
            return;
        }
        outputs.Write(folder / fs::u8path(name), u.stream.data() + offset, std::size_t(size));
        placed << shown << " " << size << "\n";
    };
    place(outDir, options.mainName, 0, MainSize(u.table));
    for (std::size_t i = 0; i < u.table.entries.size(); ++i) {
        const table::Entry& e = u.table.entries[i];
        fs::path folder = IsHelpFile(e.name) ? outDir / "Help" : outDir;
        folders.Make(folder);
        place(folder, fileNames[i], e.offset, e.size);
    }
    outputs.Commit();
    outputs.Keep();
    folders.Keep();
    out << placed.str();
    if (!incomplete.empty())
        std::cerr << "wardpack: the decoded stream ends before these files do; they are not written:" << incomplete
                  << "\n";
    return incomplete.empty();
}

}  // namespace pack
