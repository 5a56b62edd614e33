#pragma once
// CMimeAppsList: one mimeapps.list (or defaults.list, mimeinfo.cache) file
// held as its lines, so that an edit changes only the lines it names and
// every other group, key, comment, blank line and line end stays byte for
// byte as it was. Values are the raw text after "="; desktop-id lists are
// split and joined with ListItems and JoinList.
//
// Thread rules: a plain value type; no shared state.

#include <optional>
#include <string>
#include <vector>

class CMimeAppsList {
public:
    CMimeAppsList() = default;
    explicit CMimeAppsList(const std::string& text) { Parse(text); }

    void Parse(const std::string& text);
    std::string Text() const;

    // The value of the key's first line in the group's first occurrence
    // that holds it; none without such a line.
    std::optional<std::string> Value(const std::string& group, const std::string& key) const;
    // Replaces the value of that line, or adds a line at the end of the
    // group's first occurrence, or adds the group at the end of the file.
    void SetValue(const std::string& group, const std::string& key, const std::string& value);
    // Removes every line of the key in every occurrence of the group.
    void RemoveKey(const std::string& group, const std::string& key);

    // The desktop ids of a list value ("a.desktop;b.desktop;"), empty items dropped.
    static std::vector<std::string> ListItems(const std::string& value);
    static std::string JoinList(const std::vector<std::string>& items);
    // The ids of a key's value; empty when the key is not there.
    std::vector<std::string> Items(const std::string& group, const std::string& key) const;
    // Writes the ids back; removes the key when there are none.
    void SetItems(const std::string& group, const std::string& key, const std::vector<std::string>& items);

private:
    struct Line {
        std::string text;   // without its "\n" (a "\r" before it stays here)
        std::string group;  // the group the line belongs to ("" before the first header)
        bool header = false;
    };
    // The key of a "key=value" line (blanks around it trimmed), or none.
    static std::optional<std::string> KeyOf(const Line& line);
    static std::string ValueOf(const Line& line);
    static std::string LineEnd(const Line& line);

    std::vector<Line> m_lines;
    bool m_finalNewline = true;
};
