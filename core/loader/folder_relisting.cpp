#include "loader/folder_relisting.h"

#include "loader/name_order.h"

void CFolderRelisting::Start(const std::string& path)
{
    Stop();
    m_files.clear();
    m_listed = false;
    m_stop = false;
    m_done.Reset();
    m_thread = std::thread([this, path] {
        m_listed = ListFiles(
            path, [](std::string_view name) { return HasJpegExtension(std::string(name)); }, &m_files,
            &m_stop);
        m_done.Set();
    });
}

void CFolderRelisting::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    m_thread.join();
}

bool CFolderRelisting::Take(std::vector<FileEntry>* files)
{
    Stop();
    files->swap(m_files);
    m_files.clear();
    return m_listed;
}
