// Where the data appended to the installer's executable file lies (the
// integrity record and the package table), found from the executable's own
// headers, the same way in the installer and in the packaging tool:
//
//   unsigned:  [image][record][table]                                        end of file
//   signed:    [image][record][table][0..7 zero bytes][certificate table]    end of file
//
// The image is the executable's own bytes: its headers and sections. A COFF
// symbol table (a debug build's) would lie after them, where the appended
// data begins: the packaging tool takes no installer that has one. A signing
// tool pads the file with zero bytes to a multiple of 8 and appends a
// certificate table, which data directory 4 addresses by file offset; the
// signature then covers the table and the record too. A certificate table
// that does not end the file counts as part of the image; one that starts
// among the headers or sections makes the file no installer.
//
// Which of the zero bytes before a certificate table are padding is told by
// the data itself: the appended data ends where its table's length leaves
// exactly an integrity record (or nothing) between the image and the table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace appended {

// Reads `size` bytes at `at`; false when they are not all in the file.
using ReadProc = bool (*)(void* file, uint32_t at, void* out, uint32_t size);

enum class Fault : uint8_t {
    none,
    noMzHeader,
    noPeHeader,
    headerCutShort,    // the optional header passes the file's end
    sectionsCutShort,  // the section table passes the file's end
    imageCutShort,     // a section or the certificate table does
    certificatesInImage,  // the certificate table starts before the headers and sections end
};

struct Layout {
    uint32_t imageEnd = 0;          // the executable's own bytes end here (past the file when cut short)
    uint32_t start = 0, end = 0;    // the appended data
    uint32_t certificates = 0, certificatesSize = 0;  // data directory 4 as stored
    uint32_t securityEntry = 0;     // file offset of that directory entry; 0 without one
    uint32_t checksumField = 0;     // file offset of the optional header's checksum
    bool signedAtEnd = false;       // a certificate table ends the file, after the appended data
    bool coffSymbols = false;       // the file header points at a COFF symbol table
};

// Reads the headers of a file of `size` bytes and finds its appended data;
// `out` is a Layout as constructed.
Fault Locate(ReadProc read, void* file, uint32_t size, Layout& out);

}  // namespace appended
