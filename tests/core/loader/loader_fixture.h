#pragma once
// Shared pieces of the loader tests: a temporary folder of small JPEGs, a
// loader opened on it, and a host that records what it was asked.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "browse/shell_pidl.h"
#include "loader/thumb_loader.h"
#include "tools/jpeg_writer.h"

namespace loadertest {

// Generous: the thread tests also run under ThreadSanitizer on a busy machine.
inline constexpr std::chrono::milliseconds kWait {60000};

inline std::vector<uint8_t> MakeJpeg(int width, int height, uint32_t seed)
{
    return jpegwriter::Encode(jpegwriter::MakePhotoLike(width, height, seed));
}

struct RecordingHost : ILoaderHost {
    bool answerRename = false;
    bool answerTrash = true;
    DragResult dragResult = DragResult::None;
    std::function<void(const std::vector<std::string>&)> onDrag;
    std::function<void()> onDialog;  // what the window's timers do while a dialog is up
    std::vector<std::string> renameQuestions;
    std::vector<std::vector<std::string>> trashConfirmations;
    std::vector<std::string> trashFailures;
    std::vector<std::string> renameFailures;

    bool AskRenameWithoutJpegExtension(const std::string& newName) override
    {
        renameQuestions.push_back(newName);
        return answerRename;
    }
    bool ConfirmTrash(const std::vector<std::string>& paths) override
    {
        trashConfirmations.push_back(paths);
        if (onDialog)
            onDialog();
        return answerTrash;
    }
    void ReportTrashFailure(const std::string& path, const std::string&) override
    {
        trashFailures.push_back(path);
        if (onDialog)
            onDialog();
    }
    DragResult RunDrag(const std::vector<std::string>& paths) override
    {
        if (onDrag)
            onDrag(paths);
        return dragResult;
    }
    void ReportRenameFailure(const std::string& newName, const std::string&) override
    {
        renameFailures.push_back(newName);
    }
};

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_loader.SetHost(&m_host);
    }

    std::string Dir() const { return m_dir.path().toStdString(); }
    std::string PathOf(const std::string& name) const { return Dir() + "/" + name; }

    void WriteJpeg(const std::string& name, int width = 64, int height = 48, uint32_t seed = 1)
    {
        ASSERT_TRUE(jpegwriter::WriteFile(PathOf(name), MakeJpeg(width, height, seed)));
    }
    void WriteBytes(const std::string& name, const std::string& bytes)
    {
        ASSERT_TRUE(jpegwriter::WriteFile(PathOf(name), std::vector<uint8_t>(bytes.begin(), bytes.end())));
    }

    static CShellPidl Pidl(const std::string& path)
    {
        CShellPidl pidl;
        EXPECT_TRUE(pidl.ParseName(path)) << path;
        return pidl;
    }
    bool Open() { return m_loader.OpenFolder(Pidl(Dir())); }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (ImageItem* item = m_loader.FirstItem(); item; item = item->next)
            names.push_back(item->name);
        return names;
    }
    ImageItem* Item(const std::string& name) const
    {
        for (ImageItem* item = m_loader.FirstItem(); item; item = item->next)
            if (item->name == name)
                return item;
        ADD_FAILURE() << "no item " << name;
        return nullptr;
    }
    std::vector<ImageItem*> Items() const
    {
        std::vector<ImageItem*> items;
        for (ImageItem* item = m_loader.FirstItem(); item; item = item->next)
            items.push_back(item);
        return items;
    }

    // Waits until the display worker is done with the item.
    static bool WaitDone(const ViewRequest& slot)
    {
        return !slot.item || slot.item->displayDone.WaitFor(kWait);
    }
    bool WaitSlots()
    {
        return WaitDone(m_loader.CurrentSlot()) && WaitDone(m_loader.NextSlot())
            && WaitDone(m_loader.PreviousSlot());
    }
    bool WaitThumbnails() { return m_loader.ThumbnailsSettledEvent().WaitFor(kWait); }

    QTemporaryDir m_dir;
    RecordingHost m_host;
    CThumbLoader m_loader;
};

}  // namespace loadertest
