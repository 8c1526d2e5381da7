#pragma once

// Reads the [Desktop Entry] group of a .desktop file: plain, escaped and localised values, and the
// Exec line turned into an argument list. Reading never fails loudly: a file that is not a desktop
// entry gives nothing, a key that is absent gives nothing.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

class DesktopEntry {
public:
    // What the field codes of an Exec line stand for. Files and URLs are never passed: %f %F %u %U
    // and the deprecated codes expand to nothing.
    struct ExecContext {
        std::optional<std::string> icon;  // %i gives "--icon" and this, when present
        std::string name;                 // %c
        std::string location;             // %k: the desktop file's path
    };

    // The entry, or nothing when the text has no [Desktop Entry] group. Only that group is read;
    // the first occurrence of a key counts.
    static std::optional<DesktopEntry> parse(std::string_view text);

    // The raw value of a key exactly as written (localised keys with their suffix: "Name[de]").
    std::optional<std::string> rawValue(std::string_view key) const;
    // A string value with the escapes \s \n \t \r \\ decoded.
    std::optional<std::string> string(std::string_view key) const;
    // The value for the locale by the desktop-entry rules (lang_COUNTRY@MODIFIER, lang_COUNTRY,
    // lang@MODIFIER, lang, then the key without locale). The locale is a POSIX locale name
    // ("de_DE.UTF-8@euro"); its encoding is ignored.
    std::optional<std::string> localeString(std::string_view key, std::string_view locale) const;
    // "true" is true; anything else, or no value, is false.
    bool boolean(std::string_view key) const;

    // The Exec line as arguments: split by the quoting rules (double quotes, inside which a
    // backslash escapes a double quote, backquote, dollar sign or backslash; single quotes and
    // backslashes outside quotes as existing files use them), field codes expanded ("%%" is a
    // literal %), and an argument that was only a code expanding to nothing dropped. Nothing when there is no Exec key, a quote is left open, or no program
    // remains.
    std::optional<std::vector<std::string>> execArguments(const ExecContext& context) const;
    // The same for a given line (already string-unescaped).
    static std::optional<std::vector<std::string>> splitExec(std::string_view exec, const ExecContext& context);

    // Decodes the string escapes of a value.
    static std::string unescape(std::string_view value);

private:
    std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace tessary
