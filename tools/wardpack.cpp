// wardpack: makes and checks the distribution disks of the product.
//
//   wardpack build   --product DIR --list FILES --installer Setup.exe --out DIR
//   wardpack list    INSTALLER
//   wardpack verify  DISKSET [--product DIR --list FILES]
//   wardpack extract DISKSET OUTDIR
//   wardpack encode  IN OUT
//   wardpack decode  --size N IN OUT
//
// Exit status: 0 done, 1 error (the message says why), 2 a check found problems.
#include <CLI/CLI.hpp>

#include <climits>
#include <cstdio>
#include <iostream>

#include "lzh/lzh_decoder.h"
#include "runtime/exception.h"
#include "tools/file_io.h"
#include "tools/package.h"
#include "tools/progress.h"
#include "tools/stream_codec.h"
#include "tools/tool_error.h"

namespace {

LzhParse parseMode(const std::string& name) { return name == "greedy" ? LzhParse::greedy : LzhParse::optimal; }

int encodeCommand(const std::string& in, const std::string& out, const std::string& mode, bool quiet) {
    std::vector<uint8_t> data = readWholeFile(in);
    if (data.size() > size_t(INT32_MAX))
        throw ToolError(in + ": " + std::to_string(data.size()) +
                        " bytes; the decoder's length is a signed 32-bit count (at most 2,147,483,647)");
    Progress progress("encoding", quiet);
    std::vector<uint8_t> stream = encodeWithProgress(data, parseMode(mode), progress);
    writeWholeFile(out, stream);
    std::cout << in << ": " << data.size() << " -> " << stream.size() << " bytes\n";
    return 0;
}

int decodeCommand(const std::string& in, const std::string& out, int64_t size, bool quiet) {
    if (size < 0 || size > INT32_MAX)
        throw ToolError("--size " + std::to_string(size) + ": must be 0 to 2,147,483,647");
    std::vector<uint8_t> stream = readWholeFile(in);
    std::FILE* sink = std::fopen(out.c_str(), "wb");
    if (!sink) throw ToolError(out + ": cannot create");
    Progress progress("decoding", quiet);
    DecodeReport report;
    try {
        report = decodeStream(stream, int32_t(size), nullptr, sink, progress);
    } catch (...) {
        std::fclose(sink);
        throw;
    }
    if (std::fclose(sink) != 0) throw ToolError(out + ": write error (disk full?)");
    if (report.readsPastEnd > decoderLookahead)
        std::cerr << "wardpack: warning: " << in << " ended " << report.readsPastEnd - decoderLookahead
                  << " or more bytes early; the missing bytes were decoded as zeros\n";
    std::cout << in << ": " << stream.size() << " -> " << size << " bytes\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"wardpack: builds and checks the product's distribution disks"};
    app.require_subcommand(1);
    bool quiet = false;
    app.add_flag("-q,--quiet", quiet, "no progress on stderr");

    pack::BuildOptions build;
    std::string buildParse = "optimal";
    std::string volumeSizes;
    auto* buildCmd = app.add_subcommand("build", "compress a product and write the disk set disk1/ disk2/ disk3/");
    buildCmd->add_option("--product", build.productDir, "folder with the product's files")->required();
    buildCmd->add_option("--list", build.fileList, "file list: one name a line, the main executable first")
        ->required();
    buildCmd->add_option("--installer", build.installer, "the built installer (Setup.exe) to carry the table")
        ->required();
    buildCmd->add_option("--out", build.outDir, "output folder for disk1/ disk2/ disk3/")->required();
    buildCmd->add_option("--installer-name", build.installerName, "installer's name on disk 1 (default: its own)");
    buildCmd->add_option("--main-name", build.mainName, "name the main executable is installed as")
        ->capture_default_str();
    buildCmd->add_flag("--replace-table", build.replaceTable,
                       "accept an installer that already carries a package table and replace it");
    buildCmd->add_option("--parse", buildParse, "optimal (smallest) or greedy (the classic parse)")
        ->check(CLI::IsMember({"optimal", "greedy"}))
        ->capture_default_str();
    buildCmd->add_option("--disk-size", build.space.capacity, "bytes a disk holds (1.44 MB floppy)")
        ->capture_default_str();
    buildCmd->add_option("--cluster-size", build.space.cluster, "allocation unit of a disk")->capture_default_str();
    buildCmd->add_option("--volume-sizes", volumeSizes, "sizes of volumes 1 and 2 as A,B; volume 3 takes the rest");

    std::string listInstaller;
    auto* listCmd = app.add_subcommand("list", "print an installer's package table and check it");
    listCmd->add_option("INSTALLER", listInstaller, "installer file")->required();

    pack::UnpackOptions unpack;
    std::string verifyProduct, verifyList;
    auto* verifyCmd = app.add_subcommand("verify", "decode a disk set and check it against its table");
    verifyCmd->add_option("DISKSET", unpack.diskSet, "folder with disk1/ disk2/ disk3/, or with all volumes")
        ->required();
    verifyCmd->add_option("--product", verifyProduct, "also compare with this product folder...");
    verifyCmd->add_option("--list", verifyList, "...and this file list");

    std::string extractOut;
    auto* extractCmd = app.add_subcommand("extract", "unpack a disk set as the installer places the files");
    extractCmd->add_option("DISKSET", unpack.diskSet, "folder with disk1/ disk2/ disk3/, or with all volumes")
        ->required();
    extractCmd->add_option("OUTDIR", extractOut, "folder to unpack into (help files go to Help/)")->required();
    for (auto* cmd : {verifyCmd, extractCmd}) {
        cmd->add_option("--installer-name", unpack.installerName, "installer's name on disk 1")
            ->capture_default_str();
        cmd->add_option("--main-name", unpack.mainName, "name of the main executable")->capture_default_str();
    }

    std::string codecIn, codecOut, encodeParse = "optimal";
    int64_t decodeSize = -1;
    auto* encodeCmd = app.add_subcommand("encode", "compress a file into a bare stream (no header)");
    encodeCmd->add_option("IN", codecIn, "input file")->required();
    encodeCmd->add_option("OUT", codecOut, "stream file")->required();
    encodeCmd->add_option("--parse", encodeParse, "optimal or greedy")
        ->check(CLI::IsMember({"optimal", "greedy"}))
        ->capture_default_str();
    auto* decodeCmd = app.add_subcommand("decode", "expand a bare stream to exactly --size bytes");
    decodeCmd->add_option("--size", decodeSize, "decoded length in bytes")->required();
    decodeCmd->add_option("IN", codecIn, "stream file")->required();
    decodeCmd->add_option("OUT", codecOut, "output file")->required();

    CLI11_PARSE(app, argc, argv);

    try {
        if (buildCmd->parsed()) {
            build.parse = parseMode(buildParse);
            build.quiet = quiet;
            if (!volumeSizes.empty()) {
                std::size_t comma = volumeSizes.find(',');
                try {
                    if (comma == std::string::npos) throw std::invalid_argument("no comma");
                    std::size_t used1 = 0, used2 = 0;
                    build.volumeSizes = {std::stoull(volumeSizes.substr(0, comma), &used1),
                                         std::stoull(volumeSizes.substr(comma + 1), &used2)};
                    if (used1 != comma || used2 != volumeSizes.size() - comma - 1 || volumeSizes[0] == '-' ||
                        volumeSizes[comma + 1] == '-')
                        throw std::invalid_argument("junk");
                } catch (const std::exception&) {
                    throw ToolError("--volume-sizes " + volumeSizes + ": expected two byte counts, A,B");
                }
            }
            pack::build(build, std::cout);
            return 0;
        }
        if (listCmd->parsed()) return pack::list(listInstaller, std::cout) ? 0 : 2;
        unpack.quiet = quiet;
        if (verifyCmd->parsed()) {
            if (verifyProduct.empty() != verifyList.empty())
                throw ToolError("--product and --list go together");
            return pack::verify(unpack, verifyProduct, verifyList, std::cout) ? 0 : 2;
        }
        if (extractCmd->parsed()) {
            pack::extract(unpack, extractOut, std::cout);
            return 0;
        }
        if (encodeCmd->parsed()) return encodeCommand(codecIn, codecOut, encodeParse, quiet);
        if (decodeCmd->parsed()) return decodeCommand(codecIn, codecOut, decodeSize, quiet);
    } catch (const ToolError& e) {
        std::cerr << "wardpack: error: " << e.what() << "\n";
        return 1;
    } catch (const Exception& e) {
        std::cerr << "wardpack: error: " << e.className() << ": " << e.message() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "wardpack: error: " << e.what() << "\n";
        return 1;
    }
    return 1;
}
