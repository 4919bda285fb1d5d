#include "TomlText.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace
{

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Reads a text as the parser would, only as far as it must to know how deep
// each key reaches: strings and comments are stepped over, and dots count
// only in keys and [table] headers, never in values (1.5, a time).
class DepthScan
{
public:
    DepthScan(std::string_view text, const std::string& source) : mText(text), mSource(source) {}

    void Run()
    {
        while (mAt < mText.size())
        {
            const char c = mText[mAt];
            if (c == '\n')
                endLine();
            else if (c == '#')
                skipComment();
            else if (c == '"' || c == '\'')
            {
                skipString();
                if (mInKey)
                    addKeyPart(false);
                else
                    mValueKeyParts = 0;
                continue;
            }
            else if (!isBlank(c) && mInKey)
                readKey(c);
            else if (!isBlank(c))
                readValue(c);
            ++mAt;
        }
    }

private:
    struct Open
    {
        char bracket;
        int levels; // the key that holds it, and itself
    };

    void endLine()
    {
        ++mLine;
        mLineStart = mAt + 1;
        if (mOpen.empty())
        {
            mInKey = true;
            mKeyParts = 0;
        }
    }

    void readKey(char c)
    {
        if (c == '[' && mOpen.empty() && mKeyParts == 0)
            readHeader();
        else if (c == '=')
        {
            mValueKeyParts = std::max(mKeyParts, 1);
            mInKey = false;
            mKeyParts = 0;
        }
        else if (c == '}')
            close();
        else
            addKeyPart(c == '.');
    }

    void readValue(char c)
    {
        if (c == '{' || c == '[')
        {
            open(c);
            mInKey = c == '{';
            mKeyParts = 0;
        }
        else if (c == '}' || c == ']')
            close();
        else if (c == ',' && !mOpen.empty() && mOpen.back().bracket == '{')
        {
            mInKey = true;
            mKeyParts = 0;
        }
        mValueKeyParts = 0;
    }

    // A key's first character begins its first part; each dot, another.
    void addKeyPart(bool dot)
    {
        if (mKeyParts == 0 || dot)
            ++mKeyParts;
        check(mHeader + mOpenLevels + mKeyParts);
    }

    void open(char bracket)
    {
        const int levels = mValueKeyParts + 1;
        mOpen.push_back({bracket, levels});
        mOpenLevels += levels;
        check(mHeader + mOpenLevels);
    }

    void close()
    {
        if (mOpen.empty())
            return; // the parser names the stray bracket
        mOpenLevels -= mOpen.back().levels;
        mOpen.pop_back();
        mInKey = false;
    }

    // [a.b.c] or [[a.b.c]]: the keys below it start that deep.
    void readHeader()
    {
        ++mAt;
        if (mAt < mText.size() && mText[mAt] == '[')
            ++mAt;
        int parts = 0;
        while (mAt < mText.size() && mText[mAt] != ']' && mText[mAt] != '\n')
        {
            const char c = mText[mAt];
            if (c == '"' || c == '\'')
            {
                skipString();
                parts = std::max(parts, 1);
                continue;
            }
            if (c == '.' || (!isBlank(c) && parts == 0))
                check(++parts);
            ++mAt;
        }
        mHeader = parts;
        mInKey = false;
        if (mAt < mText.size() && mText[mAt] == '\n')
            --mAt; // the line's end is counted where it is
    }

    void skipComment()
    {
        while (mAt + 1 < mText.size() && mText[mAt + 1] != '\n')
            ++mAt;
    }

    // Leaves mAt after the string's closing quote, or at the line's end of
    // one left open.
    void skipString()
    {
        const char quote = mText[mAt];
        const bool escapes = quote == '"';
        const char triple[] = {quote, quote, quote};
        const std::string_view closing(triple, 3);
        if (mText.compare(mAt, 3, closing) == 0)
        {
            mAt += 3;
            while (mAt < mText.size() && mText.compare(mAt, 3, closing) != 0)
                stepInString(escapes, true);
            mAt = std::min(mText.size(), mAt + 3);
            // Up to two quotes more belong to the string.
            for (int extra = 0; extra < 2 && mAt < mText.size() && mText[mAt] == quote; ++extra)
                ++mAt;
            return;
        }
        ++mAt;
        while (mAt < mText.size() && mText[mAt] != quote && mText[mAt] != '\n')
            stepInString(escapes, false);
        if (mAt < mText.size() && mText[mAt] == quote)
            ++mAt;
    }

    void stepInString(bool escapes, bool multiline)
    {
        if (escapes && mText[mAt] == '\\' && mAt + 1 < mText.size() && (multiline || mText[mAt + 1] != '\n'))
            ++mAt;
        if (mText[mAt] == '\n')
        {
            ++mLine;
            mLineStart = mAt + 1;
        }
        ++mAt;
    }

    void check(int depth) const
    {
        if (depth <= kMostTomlDepth)
            return;
        const std::string what = "keys nested more than " + std::to_string(kMostTomlDepth) +
                                 " deep are not read (a key's dotted parts, with its [table]'s and the "
                                 "{ } and [ ] around it)";
        const toml::source_position at{static_cast<toml::source_index>(mLine),
                                       static_cast<toml::source_index>(mAt - mLineStart + 1)};
        throw toml::parse_error(what.c_str(), at, std::make_shared<const std::string>(mSource));
    }

    std::string_view mText;
    const std::string& mSource;
    size_t mAt = 0, mLineStart = 0;
    size_t mLine = 1;
    int mHeader = 0;        // the parts of the [table] the keys below it sit in
    std::vector<Open> mOpen; // { and [ open around the place read
    int mOpenLevels = 0;    // their levels, summed
    bool mInKey = true;     // in a key (before its =), else in a value
    int mKeyParts = 0;      // of the key being read
    int mValueKeyParts = 0; // of the key whose value comes next
};

} // namespace

toml::table ParseTomlText(std::string_view text, const std::string& source)
{
    DepthScan(text, source).Run();
    return toml::parse(text, source);
}
