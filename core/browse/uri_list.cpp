#include "browse/uri_list.h"

#include <QList>
#include <QSysInfo>

#include <cctype>

namespace {
QByteArray LocalHostName()
{
    static const QByteArray name = QSysInfo::machineHostName().toUtf8();
    return name;
}

// Every "%" starts two hex digits: a broken escape is no byte of a name.
bool EscapesAreWhole(const QByteArray& text)
{
    for (qsizetype i = text.indexOf('%'); i >= 0; i = text.indexOf('%', i + 3))
        if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1]))
            || !std::isxdigit(static_cast<unsigned char>(text[i + 2])))
            return false;
    return true;
}
}  // namespace

QByteArray EncodeUriList(const std::vector<std::string>& paths)
{
    QByteArray list;
    for (const std::string& path : paths) {
        list += "file://";
        list += QByteArray::fromStdString(path).toPercentEncoding("/");
        list += "\r\n";
    }
    return list;
}

std::vector<std::string> DecodeUriList(const QByteArray& list)
{
    std::vector<std::string> paths;
    // Lines end with CR LF as the format asks, or with LF or CR alone.
    QByteArray lines = list;
    lines.replace('\r', '\n');
    for (QByteArray line : lines.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || !line.startsWith("file://"))
            continue;
        QByteArray rest = line.mid(7);
        // file:///path, or file://HOST/path with this machine's name (some
        // programs write it) or localhost; other hosts are not ours.
        const qsizetype slash = rest.indexOf('/');
        const QByteArray host = rest.left(slash);
        if (slash < 0 || (!host.isEmpty() && host != "localhost" && host != LocalHostName()))
            continue;
        rest = rest.mid(slash);
        // A query or fragment is not part of the path.
        for (const char stop : {'?', '#'})
            if (const qsizetype at = rest.indexOf(stop); at >= 0)
                rest.truncate(at);
        // file:////server/x names a share of another machine.
        if (rest.startsWith("//") || !EscapesAreWhole(rest))
            continue;
        const QByteArray path = QByteArray::fromPercentEncoding(rest);
        if (path.contains('\0'))
            continue;
        paths.push_back(path.toStdString());
    }
    return paths;
}
