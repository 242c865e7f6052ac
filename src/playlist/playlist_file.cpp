// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/playlist_file.h"

#include "base/failure.h"
#include "base/shown_text.h"
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

namespace {

enum class Form { Quoted, Unquoted, QuotedUpToItsQuote, None };

// Text the reader takes whole after a quote or at the start of a line: it stops at commas and line ends and
// drops trailing blanks.
bool readsWholeUnquoted(std::string_view text)
{
    return text.find_first_of(",\r\n") == std::string_view::npos && (text.empty() || !isBlank(text.back()));
}

// The line that reads back as the entry. Entries without a quote stand in quotes, as always. One holding a quote
// has no escape: it is written bare where the reader takes a bare line whole, or else in quotes up to its first
// quote, the rest following the closing quote, which the reader appends.
Form formOf(std::string_view entry)
{
    const std::size_t quote = entry.find('"');
    if (quote == std::string_view::npos)
        return Form::Quoted;
    if (quote > 0 && !isBlank(entry.front()) && readsWholeUnquoted(entry))
        return Form::Unquoted;
    if (readsWholeUnquoted(entry.substr(quote)))
        return Form::QuotedUpToItsQuote;
    return Form::None;
}

}  // namespace

std::vector<std::size_t> unstorableEntries(std::span<const std::string> entries)
{
    std::vector<std::size_t> unstorable;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (formOf(entries[i]) == Form::None)
            unstorable.push_back(i);
    return unstorable;
}

std::string writeEntries(std::span<const std::string> entries)
{
    std::size_t size = 0;
    for (const auto& entry : entries)
        size += entry.size() + 5;
    std::string bytes;
    bytes.reserve(size);
    for (const auto& entry : entries) {
        switch (formOf(entry)) {
        case Form::Unquoted:
            bytes += entry;
            break;
        case Form::QuotedUpToItsQuote: {
            const std::size_t quote = entry.find('"');
            bytes += '"';
            bytes.append(entry, 0, quote);
            bytes += '"';
            bytes.append(entry, quote);
            break;
        }
        case Form::Quoted:
        case Form::None:
            bytes += '"';
            bytes += entry;
            bytes += '"';
            break;
        }
        bytes += "\r\n";
    }
    return bytes;
}

Fields loadPlaylistFile(const std::string& path, std::size_t limit)
{
    std::string text = readWholeFile(path, maxFileBytes);
    // A UTF-8 byte order mark, put there by an editor, is no part of the first path.
    constexpr std::string_view byteOrderMark{"\xEF\xBB\xBF"};
    const std::string_view body = std::string_view(text).starts_with(byteOrderMark) ? std::string_view(text).substr(3) : text;
    return readFields(body, limit);
}

void savePlaylistFile(const std::string& path, std::span<const std::string> entries)
{
    if (const auto unstorable = unstorableEntries(entries); !unstorable.empty()) {
        // Named cut short, and only the first few: the message has to fit on the screen.
        constexpr std::size_t named = 3;
        std::string list;
        for (std::size_t i = 0; i < unstorable.size() && i < named; ++i)
            list += (i > 0 ? ", " : "") + std::string("entry ") + std::to_string(unstorable[i] + 1) + " '" +
                    shownText(entries[unstorable[i]], 200) + "'";
        if (unstorable.size() > named)
            list += " and " + std::to_string(unstorable.size() - named) + " more";
        throw Failure("Cannot save '" + path + "': " + std::to_string(unstorable.size()) +
                      " entries hold a double quote followed by a comma or a line end, or by a blank at their end, "
                      "which a playlist file cannot give back (" + list + "). The file was left as it was.");
    }
    replaceFile(path, writeEntries(entries));
}

}  // namespace tamro::playlist
