#include "browse/uri_list.h"

#include <QList>
#include <QSysInfo>

namespace {
QByteArray LocalHostName()
{
    static const QByteArray name = QSysInfo::machineHostName().toUtf8();
    return name;
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
    for (QByteArray line : list.split('\n')) {
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
        const QByteArray path = QByteArray::fromPercentEncoding(rest);
        if (path.contains('\0'))
            continue;
        paths.push_back(path.toStdString());
    }
    return paths;
}
