#include "playlist/playlist_file.h"

#include "playlist/file_bytes.h"

namespace tamro::playlist {
namespace {

// Far beyond any real playlist (32,767 paths of 4 KiB each are 128 MiB), yet it keeps a stray multi-gigabyte
// file from exhausting memory.
constexpr std::size_t maxFileBytes = std::size_t{256} << 20;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

std::string_view withoutTrailingBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }

    // Reads the next field and consumes the delimiter after it; call only when !atEnd().
    std::string next()
    {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '"') {
            const std::size_t close = closingQuote(pos_ + 1);
            if (close != std::string_view::npos) {
                std::string value(text_.substr(pos_ + 1, close - pos_ - 1));
                pos_ = close + 1;
                value += withoutTrailingBlanks(toDelimiter());
                consumeDelimiter();
                return value;
            }
            ++pos_;  // never closed: the opening quote alone is dropped and the line read as unquoted text
        }
        std::string value(withoutTrailingBlanks(toDelimiter()));
        consumeDelimiter();
        return value;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    // From here on the text holds no quote; remembered so that many unclosed quotes cost one scan, not one each.
    std::size_t noQuoteFrom_ = std::string_view::npos;

    std::size_t closingQuote(std::size_t from)
    {
        if (from >= noQuoteFrom_)
            return std::string_view::npos;
        const std::size_t found = text_.find('"', from);
        if (found == std::string_view::npos)
            noQuoteFrom_ = from;
        return found;
    }

    // The text from here up to the next comma or line end (not included), which becomes the position.
    std::string_view toDelimiter()
    {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && !isLineEnd(text_[pos_]))
            ++pos_;
        return text_.substr(start, pos_ - start);
    }

    void consumeDelimiter()
    {
        if (pos_ >= text_.size())
            return;
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
            ++pos_;
        ++pos_;
    }
};

}  // namespace

Fields readFields(std::string_view text, std::size_t limit)
{
    Fields fields;
    FieldReader reader(text);
    while (!reader.atEnd()) {
        std::string field = reader.next();
        if (fields.entries.size() < limit)
            fields.entries.push_back(std::move(field));
        else
            ++fields.leftOut;
    }
    return fields;
}

std::string writeEntries(std::span<const std::string> entries)
{
    std::size_t size = 0;
    for (const auto& entry : entries)
        size += entry.size() + 4;
    std::string bytes;
    bytes.reserve(size);
    for (const auto& entry : entries) {
        bytes += '"';
        bytes += entry;
        bytes += "\"\r\n";
    }
    return bytes;
}

Fields loadPlaylistFile(const std::string& path, std::size_t limit)
{
    return readFields(readWholeFile(path, maxFileBytes), limit);
}

void savePlaylistFile(const std::string& path, std::span<const std::string> entries)
{
    replaceFile(path, writeEntries(entries));
}

}  // namespace tamro::playlist
