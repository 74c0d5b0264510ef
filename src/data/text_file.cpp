#include "data/text_file.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "data/atomic_file.h"
#include "data/text_convert.h"
#include "data/utf8.h"

namespace zorvan {

namespace {

constexpr char32_t kEnd = 0xFFFFFFFF;

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t before = i;
        if (DecodeUtf8(s, i) == 0xFFFD && !(i - before == 3 && s.substr(before, 3) == "\xEF\xBF\xBD")) return false;
    }
    return true;
}

// Windows-1252's characters 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b);
    }
    return out;
}

bool LocaleIsUtf8OrAscii() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr) return true;
    return EqualsIgnoreCase(codeset, "UTF-8") || EqualsIgnoreCase(codeset, "utf8") ||
           EqualsIgnoreCase(codeset, "ANSI_X3.4-1968") || EqualsIgnoreCase(codeset, "ASCII");
}

std::string IconvToUtf8(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", nl_langinfo(CODESET));
    if (cd == reinterpret_cast<iconv_t>(-1)) return Cp1252ToUtf8(bytes);
    std::string out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) break;
        // An unmappable byte: the replacement character, then go on.
        if (outLeft < 3) break;
        std::memcpy(outPtr, "\xEF\xBF\xBD", 3);
        outPtr += 3;
        outLeft -= 3;
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::string AnsiToUtf8(std::string_view bytes) {
    bool ascii = true;
    for (const char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(bytes);
    if (LocaleIsUtf8OrAscii()) return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
    return IconvToUtf8(bytes);
}

CUTF16File CUTF16File::OpenForReading(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError(path, std::strerror(errno));
    CUTF16File file;
    file.path_ = path;
    file.bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::string& b = file.bytes_;
    if (b.size() > 1) {
        if (b.compare(0, 2, "\xFF\xFE") == 0) {
            file.encoding_ = Encoding::Utf16Le;
            file.pos_ = 2;
        } else if (b.compare(0, 2, "\xFE\xFF") == 0) {
            file.encoding_ = Encoding::Utf16Be;
            file.pos_ = 2;
        } else if (b.size() >= 3 && b.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            file.encoding_ = Encoding::Utf8;
            file.pos_ = 3;
        }
    }
    return file;
}

CUTF16File CUTF16File::CreateForWriting(const std::string& path) {
    // Find out now whether the file can be made there, as creating it would,
    // without touching a file that is already there.
    std::string error;
    if (!CanWriteFile(path, &error)) throw FileError(path, error);
    CUTF16File file;
    file.path_ = path;
    file.writing_ = true;
    return file;
}

char32_t CUTF16File::NextChar() {
    if (AtEnd()) return kEnd;
    if (encoding_ == Encoding::Utf8) return DecodeUtf8(bytes_, pos_);
    const auto unit = [this]() -> char32_t {
        if (pos_ + 1 >= bytes_.size()) {
            pos_ = bytes_.size();  // a dangling odd byte is dropped
            return kEnd;
        }
        const auto lo = static_cast<unsigned char>(bytes_[pos_]);
        const auto hi = static_cast<unsigned char>(bytes_[pos_ + 1]);
        pos_ += 2;
        return encoding_ == Encoding::Utf16Le ? static_cast<char32_t>(lo | (hi << 8))
                                              : static_cast<char32_t>(hi | (lo << 8));
    };
    const char32_t first = unit();
    if (first == kEnd) return kEnd;
    if (first >= 0xD800 && first <= 0xDBFF) {
        const std::size_t save = pos_;
        const char32_t second = unit();
        if (second != kEnd && second >= 0xDC00 && second <= 0xDFFF) {
            return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
        }
        pos_ = save;
        return 0xFFFD;
    }
    if (first >= 0xDC00 && first <= 0xDFFF) return 0xFFFD;
    return first;
}

bool CUTF16File::ReadLine(std::string& line) {
    line.clear();
    if (AtEnd()) return false;
    if (encoding_ == Encoding::Ansi) {
        const std::size_t lf = bytes_.find('\n', pos_);
        const std::size_t end = lf == std::string::npos ? bytes_.size() : lf;
        line.assign(bytes_, pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos_ = lf == std::string::npos ? bytes_.size() : lf + 1;
        return true;
    }
    const bool utf16 = encoding_ != Encoding::Utf8;
    const bool le = encoding_ == Encoding::Utf16Le;
    for (;;) {
        // Plain ASCII units, the bulk of most files, without the decoder.
        while (utf16 && pos_ + 1 < bytes_.size()) {
            const auto a = static_cast<unsigned char>(bytes_[pos_]);
            const auto b = static_cast<unsigned char>(bytes_[pos_ + 1]);
            const unsigned unit = le ? (a | (b << 8)) : (b | (a << 8));
            if (unit >= 0x80 || unit == '\r' || unit == '\n') break;
            line.push_back(static_cast<char>(unit));
            pos_ += 2;
        }
        const char32_t c = NextChar();
        if (c == kEnd) return true;
        if (c == '\r' || c == '\n') {
            // A CR or LF right after the line end belongs to it.
            const std::size_t save = pos_;
            const char32_t next = NextChar();
            if (next != '\r' && next != '\n') pos_ = save;
            return true;
        }
        AppendUtf8(line, c);
    }
}

bool CUTF16File::ReadLineConverted(std::string& line) {
    if (!ReadLine(line)) return false;
    if (encoding_ == Encoding::Ansi) line = AnsiToUtf8(line);
    return true;
}

void CUTF16File::WriteString(std::string_view utf8) {
    if (out_.empty()) out_ = "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = DecodeUtf8(utf8, i);
        const auto put = [this](char32_t unit) {
            out_.push_back(static_cast<char>(unit & 0xFF));
            out_.push_back(static_cast<char>(unit >> 8));
        };
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
}

void CUTF16File::Close() {
    if (!writing_) return;
    writing_ = false;
    if (out_.empty()) out_ = "\xFF\xFE";
    std::string error;
    if (!WriteFileAtomically(path_, out_, &error)) throw FileError(path_, error);
}

bool CCSVFile::ReadRow(std::vector<std::string>& row) {
    std::string line;
    if (!file_.ReadLineConverted(line)) return false;
    SplitRow(line, row);
    return true;
}

void CCSVFile::SplitRow(std::string_view line, std::vector<std::string>& cells) {
    std::size_t count = 0;
    const auto cell = [&]() -> std::string& {
        if (count == cells.size()) cells.emplace_back();
        std::string& c = cells[count++];
        c.clear();
        return c;
    };
    std::size_t p = 0;
    while (p < line.size()) {
        std::string& out = cell();
        if (line[p] == '"') {
            ++p;
            while (p < line.size()) {
                if (line[p] == '"') {
                    if (p + 1 < line.size() && line[p + 1] == '"') {
                        out.push_back('"');
                        p += 2;
                        continue;
                    }
                    p += 2;  // the closing quote and the comma after it
                    break;
                }
                out.push_back(line[p++]);
            }
        } else {
            const std::size_t comma = line.find(',', p);
            const std::size_t end = comma == std::string_view::npos ? line.size() : comma;
            out.assign(line.substr(p, end - p));
            p = end + 1;
        }
    }
    cells.resize(count);
}

std::string CCSVFile::QuoteCell(std::string_view cell) {
    if (cell.find_first_of(",\"") == std::string_view::npos) return std::string(cell);
    std::string out = "\"";
    for (const char c : cell) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

void CCSVFile::WriteRow(const std::vector<std::string>& row) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0) line.push_back(',');
        line += QuoteCell(row[i]);
    }
    line += "\r\n";
    file_.WriteString(line);
}

}  // namespace zorvan
