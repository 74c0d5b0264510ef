#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

// A file that cannot be opened or created: the platform's file error.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& path, const std::string& reason)
        : std::runtime_error(path + ": " + reason), path_(path) {}
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A text file read in whatever encoding its byte order mark says (UTF-16
// little- or big-endian, UTF-8, or, without a mark, the system's 8-bit code
// page) and always written as UTF-16 little-endian with a byte order mark.
// Text inside the program is UTF-8.
class CUTF16File {
public:
    enum class Encoding { Ansi, Utf16Le, Utf16Be, Utf8 };

    // Reading: the whole file is taken at once. Throws FileError.
    static CUTF16File OpenForReading(const std::string& path);
    // Writing: nothing reaches the disk until Close(), which replaces the
    // file whole. Throws FileError when the file cannot be created.
    static CUTF16File CreateForWriting(const std::string& path);

    Encoding encoding() const { return encoding_; }
    // The next line without its end; false when nothing is left. ANSI lines
    // come back byte for byte (see ReadLineConverted for the code page).
    bool ReadLine(std::string& line);
    // As ReadLine, with ANSI lines converted from the system's code page.
    bool ReadLineConverted(std::string& line);
    void WriteString(std::string_view utf8);
    // Commits a file opened for writing; throws FileError when that fails.
    void Close();

private:
    CUTF16File() = default;
    char32_t NextChar();  // for UTF-16 and UTF-8; 0xFFFFFFFF at the end
    bool AtEnd() const { return pos_ >= bytes_.size(); }

    std::string path_;
    std::string bytes_;
    std::size_t pos_ = 0;
    Encoding encoding_ = Encoding::Ansi;
    bool writing_ = false;
    std::string out_;  // UTF-16LE bytes to be written
};

// Converts bytes in the system's 8-bit code page to UTF-8. Where the
// locale's character set is UTF-8 (or plain ASCII), valid UTF-8 is taken as
// it is and anything else is read as Windows-1252, the code page most such
// files come from.
std::string AnsiToUtf8(std::string_view bytes);

// Comma-separated rows on a CUTF16File.
class CCSVFile {
public:
    static CCSVFile OpenForReading(const std::string& path) { return CCSVFile(CUTF16File::OpenForReading(path)); }
    static CCSVFile CreateForWriting(const std::string& path) { return CCSVFile(CUTF16File::CreateForWriting(path)); }

    // The next row's cells replace the array's; false at the end of the file.
    bool ReadRow(std::vector<std::string>& row);
    void WriteRow(const std::vector<std::string>& row);
    void Close() { file_.Close(); }
    CUTF16File& file() { return file_; }

    static void SplitRow(std::string_view line, std::vector<std::string>& cells);
    static std::string QuoteCell(std::string_view cell);

private:
    explicit CCSVFile(CUTF16File file) : file_(std::move(file)) {}
    CUTF16File file_;
};

}  // namespace zorvan
