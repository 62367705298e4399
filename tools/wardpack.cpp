// wardpack: makes and checks the distribution disks of the product.
//
//   wardpack build   --product DIR --list FILES --installer Setup.exe --out DIR
//   wardpack list    INSTALLER
//   wardpack verify  DISKSET [--product DIR --list FILES]
//   wardpack extract DISKSET OUTDIR
//
// DISKSET is a folder holding disk1/ to disk3/ (or all the files), or the three
// disks one by one, each a folder or a floppy image: disk1.img disk2.img disk3.img.
// INSTALLER may also be a disk 1 folder or image.
//   wardpack images  DISKSET
//   wardpack encode  IN OUT
//   wardpack decode  --size N IN OUT
//
// Exit status: 0 done, 1 error (the message says why, a wrong command line
// too), 2 a check found problems, or extract --force wrote a set in part.
// wardpack(1) is the manual page.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <iostream>

#include "lzh/lzh_decoder.h"
#include "runtime/exception.h"
#include "tools/file_io.h"
#include "tools/name_text.h"
#include "tools/package.h"
#include "tools/progress.h"
#include "tools/stream_codec.h"
#include "tools/tool_error.h"

namespace {

LzhParse ParseMode(const std::string& name) { return name == "greedy" ? LzhParse::greedy : LzhParse::optimal; }

bool IsByteCount(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Every number option: digits alone, at most `most`. CLI11 alone would take a
// sign and wrap "-1" round to the largest count.
CLI::Validator ByteCount(uint64_t most) {
    return CLI::Validator(
        [most](std::string& text) -> std::string {
            bool fits = IsByteCount(text);
            try {
                fits = fits && std::stoull(text) <= most;
            } catch (const std::out_of_range&) {
                fits = false;
            }
            return fits ? "" : text + " is not a byte count (0 to " + std::to_string(most) + ", digits alone)";
        },
        "");
}

// A disk's room and what is kept on it: the record holds a volume's length in 32 bits.
const CLI::Validator diskBytes = ByteCount(UINT32_MAX);

struct BuildCommand {
    CLI::App* cmd = nullptr;
    pack::BuildOptions options;
    std::string parse = "optimal";
    std::string volumeSizes;
};

struct ListCommand {
    CLI::App* cmd = nullptr;
    std::string installer, installerName = "Setup.exe";
    unsigned codePage = 0;
};

struct VerifyCommand {
    CLI::App* cmd = nullptr;
    pack::UnpackOptions options;
    std::string product, list;
};

struct ExtractCommand {
    CLI::App* cmd = nullptr;
    pack::UnpackOptions options;
    // One list, the folder last: CLI11 gives a list of positionals every argument, none to one after it.
    std::vector<std::string> disksThenOutDir;
};

struct ImagesCommand {
    CLI::App* cmd = nullptr;
    std::string diskSet;
};

struct EncodeCommand {
    CLI::App* cmd = nullptr;
    std::string in, out, parse = "optimal";
};

struct DecodeCommand {
    CLI::App* cmd = nullptr;
    std::string in, out;
    int64_t size = -1;
};

// Every value the command line fills. CLI11 keeps their addresses, so this
// stays where main declares it.
struct Commands {
    Commands() = default;
    Commands(const Commands&) = delete;
    Commands& operator=(const Commands&) = delete;

    bool quiet = false;
    BuildCommand build;
    ListCommand list;
    VerifyCommand verify;
    ExtractCommand extract;
    ImagesCommand images;
    EncodeCommand encode;
    DecodeCommand decode;
};

constexpr const char* codePageHelp =
    "the target Windows' ANSI code page (932, 936, 949, 950 or 1252): names are converted from UTF-8 and "
    "stored as 8.3 names in its bytes";
constexpr const char* codePageReadHelp =
    "the names' code page (932, 936, 949, 950 or 1252), over the one the table records";

void AddCodePage(CLI::App* cmd, unsigned& codePage, const char* help) {
    cmd->add_option("--code-page", codePage, help)->check(CLI::IsMember({932u, 936u, 949u, 950u, 1252u}));
}

void DeclareBuild(CLI::App& app, BuildCommand& c) {
    c.cmd = app.add_subcommand("build", "compress a product and write the disk set disk1/ disk2/ disk3/");
    c.cmd->add_option("--product", c.options.productDir, "folder with the product's files")->required();
    c.cmd->add_option("--list", c.options.fileList, "file list: one name a line, the main executable first")
        ->required();
    c.cmd->add_option("--installer", c.options.installer, "the built installer (Setup.exe) to carry the table")
        ->required();
    c.cmd->add_option("--out", c.options.outDir, "output folder for disk1/ disk2/ disk3/")->required();
    c.cmd->add_option("--installer-name", c.options.installerName, "installer's name on disk 1 (default: its own)");
    c.cmd->add_option("--main-name", c.options.mainName, "name the main executable is installed as")
        ->capture_default_str();
    c.cmd->add_flag("--replace-table", c.options.replaceTable,
                    "accept an installer that already carries a package table and replace it");
    c.cmd->add_option("--parse", c.parse, "optimal (smallest) or greedy (the classic parse)")
        ->check(CLI::IsMember({"optimal", "greedy"}))
        ->capture_default_str();
    c.cmd->add_option("--disk-size", c.options.space.capacity, "bytes a disk holds (1.44 MB floppy)")
        ->check(diskBytes)
        ->capture_default_str();
    c.cmd->add_option("--cluster-size", c.options.space.cluster, "allocation unit of a disk")
        ->check(diskBytes)
        ->capture_default_str();
    c.cmd->add_option("--volume-sizes", c.volumeSizes, "sizes of volumes 1 and 2 as A,B; volume 3 takes the rest");
    c.cmd->add_option("--signature-room", c.options.signatureRoom,
                      "bytes kept free on disk 1 for a signature added to the installer after build")
        ->check(diskBytes)
        ->capture_default_str();
    c.cmd->add_flag("--images", c.options.images, "also write disk1.img .. disk3.img, 1.44 MB floppy images");
    AddCodePage(c.cmd, c.options.codePage, codePageHelp);
}

void DeclareList(CLI::App& app, ListCommand& c) {
    c.cmd = app.add_subcommand("list", "print an installer's package table and check it");
    c.cmd->add_option("INSTALLER", c.installer, "installer file, or a disk 1 folder or floppy image holding it")
        ->required();
    c.cmd->add_option("--installer-name", c.installerName, "installer's name on disk 1")->capture_default_str();
    AddCodePage(c.cmd, c.codePage, codePageReadHelp);
}

constexpr const char* diskSetHelp =
    "folder with disk1/ disk2/ disk3/ or with all volumes; or the three disks, each a folder or a floppy image";

void AddDiskSetNames(CLI::App* cmd, pack::UnpackOptions& options) {
    cmd->add_option("--installer-name", options.installerName, "installer's name on disk 1")->capture_default_str();
    cmd->add_option("--main-name", options.mainName, "name of the main executable")->capture_default_str();
    AddCodePage(cmd, options.codePage, codePageReadHelp);
}

void DeclareVerify(CLI::App& app, VerifyCommand& c) {
    c.cmd = app.add_subcommand("verify", "decode a disk set and check it against its table");
    c.cmd->add_option("DISKSET", c.options.disks, diskSetHelp)->required()->expected(1, int(diskset::diskCount));
    c.cmd->add_option("--product", c.product, "also compare with this product folder...");
    c.cmd->add_option("--list", c.list, "...and this file list");
    AddDiskSetNames(c.cmd, c.options);
}

void DeclareExtract(CLI::App& app, ExtractCommand& c) {
    c.cmd = app.add_subcommand("extract", "unpack a disk set as the installer places the files");
    c.cmd->add_option("DISKSET..OUTDIR", c.disksThenOutDir,
                      std::string(diskSetHelp) + "; then the folder to unpack into (help files go to Help/)")
        ->required()
        ->expected(2, int(diskset::diskCount) + 1);
    AddDiskSetNames(c.cmd, c.options);
    c.cmd->add_flag("--force", c.options.force,
                    "unpack even a set that fails its integrity checks (never one whose table is unsafe)");
}

void DeclareImages(CLI::App& app, ImagesCommand& c) {
    c.cmd = app.add_subcommand("images", "write disk1.img .. disk3.img, 1.44 MB floppy images of a disk set's folders");
    c.cmd->add_option("DISKSET", c.diskSet, "folder with disk1/ disk2/ disk3/")->required();
}

void DeclareEncode(CLI::App& app, EncodeCommand& c) {
    c.cmd = app.add_subcommand("encode", "compress a file into a bare stream (no header)");
    c.cmd->add_option("IN", c.in, "input file")->required();
    c.cmd->add_option("OUT", c.out, "stream file")->required();
    c.cmd->add_option("--parse", c.parse, "optimal or greedy")
        ->check(CLI::IsMember({"optimal", "greedy"}))
        ->capture_default_str();
}

void DeclareDecode(CLI::App& app, DecodeCommand& c) {
    c.cmd = app.add_subcommand("decode", "expand a bare stream to exactly --size bytes");
    c.cmd->add_option("--size", c.size, "decoded length in bytes")->required()->check(ByteCount(INT32_MAX));
    c.cmd->add_option("IN", c.in, "stream file")->required();
    c.cmd->add_option("OUT", c.out, "output file")->required();
}

void DeclareCommands(CLI::App& app, Commands& c) {
    app.require_subcommand(1);
    app.set_version_flag("--version", "wardpack " WARDPACK_VERSION);
    app.add_flag("-q,--quiet", c.quiet, "no progress on stderr, and no report from build");
    DeclareBuild(app, c.build);
    DeclareList(app, c.list);
    DeclareVerify(app, c.verify);
    DeclareExtract(app, c.extract);
    DeclareImages(app, c.images);
    DeclareEncode(app, c.encode);
    DeclareDecode(app, c.decode);
}

// "A,B": the sizes of volumes 1 and 2. Digits alone: stoull would take a sign
// or a leading blank and wrap "-5" round to a huge size.
std::vector<uint64_t> ParseVolumeSizes(const std::string& text) {
    std::size_t comma = text.find(',');
    std::string first = text.substr(0, comma);
    std::string second = comma == std::string::npos ? "" : text.substr(comma + 1);
    ToolError bad("--volume-sizes " + text + ": expected two byte counts, A,B");
    if (!IsByteCount(first) || !IsByteCount(second)) throw bad;
    try {
        return {std::stoull(first), std::stoull(second)};
    } catch (const std::out_of_range&) {
        throw bad;
    }
}

int RunBuild(BuildCommand& c, bool quiet) {
    c.options.parse = ParseMode(c.parse);
    c.options.quiet = quiet;
    if (!c.volumeSizes.empty()) c.options.volumeSizes = ParseVolumeSizes(c.volumeSizes);
    std::ostream none(nullptr);  // quiet: the report goes nowhere
    pack::Build(c.options, quiet ? none : std::cout);
    return 0;
}

int RunList(const ListCommand& c) {
    return pack::List(c.installer, c.installerName, std::cout, c.codePage) ? 0 : 2;
}

int RunVerify(VerifyCommand& c, bool quiet) {
    if (c.product.empty() != c.list.empty()) throw ToolError("--product and --list go together");
    c.options.quiet = quiet;
    return pack::Verify(c.options, c.product, c.list, std::cout) ? 0 : 2;
}

int RunExtract(ExtractCommand& c, bool quiet) {
    c.options.quiet = quiet;
    c.options.disks.assign(c.disksThenOutDir.begin(), c.disksThenOutDir.end() - 1);
    return pack::Extract(c.options, c.disksThenOutDir.back(), std::cout) ? 0 : 2;
}

int RunImages(const ImagesCommand& c) {
    diskset::WriteImages(c.diskSet, std::cout);
    return 0;
}

int RunEncode(const EncodeCommand& c, bool quiet) {
    std::vector<uint8_t> data = ReadWholeFile(c.in);
    if (data.size() > size_t(INT32_MAX))
        throw ToolError(c.in + ": " + std::to_string(data.size()) +
                        " bytes; the decoder's length is a signed 32-bit count (at most 2,147,483,647)");
    Progress progress("encoding", quiet);
    std::vector<uint8_t> stream = EncodeWithProgress(data, ParseMode(c.parse), progress);
    WriteWholeFile(c.out, stream);
    std::cout << c.in << ": " << data.size() << " -> " << stream.size() << " bytes\n";
    return 0;
}

int RunDecode(const DecodeCommand& c, bool quiet) {
    std::vector<uint8_t> stream = ReadWholeFile(c.in);
    PartialFile sink(c.out);
    Progress progress("decoding", quiet);
    DecodeReport report = DecodeStream(stream, int32_t(c.size), nullptr, sink.Get(), progress);
    // A stream that ends early gives no output: a file cut short would pass for the product.
    if (report.cutShort)
        throw ToolError(c.in + " ends early: the stream needs more than its " + std::to_string(stream.size()) +
                        " bytes; decoding stopped after " + std::to_string(report.written) + " of " +
                        std::to_string(c.size) + " bytes, and " + c.out + " is not written");
    sink.Commit();
    std::cout << c.in << ": " << stream.size() << " -> " << report.written << " bytes\n";
    return 0;
}

// The command line names exactly one command.
int RunChosen(Commands& c) {
    if (c.build.cmd->parsed()) return RunBuild(c.build, c.quiet);
    if (c.list.cmd->parsed()) return RunList(c.list);
    if (c.verify.cmd->parsed()) return RunVerify(c.verify, c.quiet);
    if (c.extract.cmd->parsed()) return RunExtract(c.extract, c.quiet);
    if (c.images.cmd->parsed()) return RunImages(c.images);
    if (c.encode.cmd->parsed()) return RunEncode(c.encode, c.quiet);
    if (c.decode.cmd->parsed()) return RunDecode(c.decode, c.quiet);
    return 1;
}

int ReportError(const std::string& why) {
    std::cerr << "wardpack: error: " << why << "\n";
    return 1;
}

// CLI11 takes a word that names no command, or an option it does not know,
// for a missing command: the first such word is named instead.
std::string CommandLineError(const CLI::App& app, const CLI::ParseError& e) {
    if (app.get_subcommands().empty())
        for (const std::string& word : app.remaining()) {
            if (word.empty() || word == "--") continue;  // "--" ends the options; "-" is a word like any
            bool option = word.size() > 1 && word[0] == '-';
            return (option ? "unknown option \"" : "unknown command \"") + names::Escaped(word, true) + "\"";
        }
    return e.what();
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"wardpack: builds and checks the product's distribution disks"};
    Commands commands;
    DeclareCommands(app, commands);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end here too, with status 0.
        if (e.get_exit_code() == 0) return app.exit(e);
        return ReportError(CommandLineError(app, e) + "; see wardpack --help");
    }
    try {
        return RunChosen(commands);
    } catch (const ToolError& e) {
        return ReportError(e.what());
    } catch (const Exception& e) {
        return ReportError(std::string(e.ClassName()) + ": " + e.Message());
    } catch (const std::exception& e) {
        return ReportError(e.what());
    }
}
