#include "browse/uri_list.h"

#include <QList>

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
        // file:///path or file://localhost/path; other hosts are not ours.
        if (rest.startsWith("localhost/"))
            rest = rest.mid(9);
        if (!rest.startsWith('/'))
            continue;
        const QByteArray path = QByteArray::fromPercentEncoding(rest);
        if (path.contains('\0'))
            continue;
        paths.push_back(path.toStdString());
    }
    return paths;
}
