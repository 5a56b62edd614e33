#include "desktop/mimeapps_list.h"

#include <algorithm>

namespace {

std::string Trimmed(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

}  // namespace

void CMimeAppsList::Parse(const std::string& text)
{
    m_lines.clear();
    m_finalNewline = text.empty() || text.back() == '\n';
    std::string group;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        Line line {text.substr(pos, end - pos), group, false};
        const std::string t = Trimmed(line.text);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            group = t.substr(1, t.size() - 2);
            line.group = group;
            line.header = true;
        }
        m_lines.push_back(std::move(line));
        pos = end + 1;
    }
}

std::string CMimeAppsList::Text() const
{
    std::string out;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i].text;
        if (i + 1 < m_lines.size() || m_finalNewline)
            out += '\n';
    }
    return out;
}

std::optional<std::string> CMimeAppsList::KeyOf(const Line& line)
{
    if (line.header)
        return std::nullopt;
    const std::string t = Trimmed(line.text);
    if (t.empty() || t.front() == '#')
        return std::nullopt;
    const size_t eq = line.text.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return Trimmed(line.text.substr(0, eq));
}

std::string CMimeAppsList::ValueOf(const Line& line)
{
    return Trimmed(line.text.substr(line.text.find('=') + 1));
}

// A file written with CRLF keeps CRLF on the lines added to it.
std::string CMimeAppsList::LineEnd(const Line& line)
{
    return !line.text.empty() && line.text.back() == '\r' ? "\r" : "";
}

std::optional<std::string> CMimeAppsList::Value(const std::string& group, const std::string& key) const
{
    for (const Line& line : m_lines)
        if (line.group == group && KeyOf(line) == key)
            return ValueOf(line);
    return std::nullopt;
}

void CMimeAppsList::SetValue(const std::string& group, const std::string& key, const std::string& value)
{
    for (Line& line : m_lines) {
        if (line.group == group && KeyOf(line) == key) {
            const size_t eq = line.text.find('=');
            line.text = line.text.substr(0, eq + 1) + value + LineEnd(line);
            return;
        }
    }
    // After the last key line of the group's first occurrence, so that blank
    // lines and comments that close the group stay below it.
    size_t insertAt = m_lines.size();
    bool found = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].header && m_lines[i].group == group && !found) {
            found = true;
            insertAt = i + 1;
        } else if (found && m_lines[i].header) {
            break;
        } else if (found && KeyOf(m_lines[i])) {
            insertAt = i + 1;
        }
    }
    const std::string end = m_lines.empty() ? "" : LineEnd(m_lines.front());
    if (found) {
        m_lines.insert(m_lines.begin() + long(insertAt), Line {key + "=" + value + end, group, false});
        return;
    }
    // A file without a final line end gets one before the new group.
    m_finalNewline = true;
    if (!m_lines.empty() && !Trimmed(m_lines.back().text).empty())
        m_lines.push_back(Line {end, m_lines.back().group, false});
    m_lines.push_back(Line {"[" + group + "]" + end, group, true});
    m_lines.push_back(Line {key + "=" + value + end, group, false});
}

void CMimeAppsList::RemoveKey(const std::string& group, const std::string& key)
{
    std::erase_if(m_lines, [&](const Line& line) { return line.group == group && KeyOf(line) == key; });
}

std::vector<std::string> CMimeAppsList::ListItems(const std::string& value)
{
    std::vector<std::string> items;
    size_t pos = 0;
    while (pos <= value.size()) {
        size_t end = value.find(';', pos);
        if (end == std::string::npos)
            end = value.size();
        std::string item = Trimmed(value.substr(pos, end - pos));
        if (!item.empty())
            items.push_back(std::move(item));
        pos = end + 1;
    }
    return items;
}

std::string CMimeAppsList::JoinList(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items)
        out += item + ";";
    return out;
}

std::vector<std::string> CMimeAppsList::Items(const std::string& group, const std::string& key) const
{
    const auto value = Value(group, key);
    return value ? ListItems(*value) : std::vector<std::string>();
}

void CMimeAppsList::SetItems(const std::string& group, const std::string& key,
                             const std::vector<std::string>& items)
{
    if (items.empty())
        RemoveKey(group, key);
    else
        SetValue(group, key, JoinList(items));
}
