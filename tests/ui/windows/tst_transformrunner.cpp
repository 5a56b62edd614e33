// The window side of a lossless turn: the edge question reaches the
// user-interface thread from the worker threads, once for all when the user
// says so; photos the user chose to skip are left out of the message, while
// a file that can't be turned is listed. Through the main window, the
// shown photo keeps its time only when the option says so.

#include <fcntl.h>
#include <sys/stat.h>

#include <QTest>
#include <QThread>

#include "res/command_table.h"
#include "tests/core/browse/browse_test_util.h"
#include "tests/ui/app/main_frame_fixture.h"
#include "tools/jpeg_writer.h"
#include "windows/transform_runner.h"

Q_DECLARE_METATYPE(EdgeAnswer)

namespace {

class TestRunner : public CTransformRunner {
public:
    using CTransformRunner::CTransformRunner;

    EdgeChoice answer;
    int asked = 0;
    bool askedOffTheUiThread = false;
    std::vector<TransformProblem> reported;

protected:
    EdgeChoice AskEdges(const std::string&, bool) override
    {
        askedOffTheUiThread |= QThread::currentThread() != qApp->thread();
        ++asked;
        return answer;
    }
    void ReportOutcome(const std::vector<TransformProblem>& problems) override { reported = problems; }
};

}  // namespace

class TestTransformRunner : public QObject {
    Q_OBJECT

private slots:
    void edgeQuestion_data()
    {
        QTest::addColumn<EdgeAnswer>("answer");
        QTest::addColumn<bool>("forAll");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("turned");
        QTest::newRow("trim, for all") << EdgeAnswer::Trim << true << 1 << 3;
        QTest::newRow("tag, one by one") << EdgeAnswer::Tag << false << 3 << 3;
        QTest::newRow("skip, one by one") << EdgeAnswer::Refuse << false << 3 << 0;
        QTest::newRow("skip, for all") << EdgeAnswer::Refuse << true << 1 << 0;
    }
    void edgeQuestion()
    {
        QFETCH(EdgeAnswer, answer);
        QFETCH(bool, forAll);
        QFETCH(int, asked);
        QFETCH(int, turned);
        browsetest::TempDir dir;
        std::vector<std::string> paths;
        // 4:2:0 at 97 x 65: partial blocks at both edges.
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            paths.push_back(dir.path() + "/" + std::to_string(seed) + ".jpg");
            QVERIFY(jpegwriter::WriteFile(paths.back(),
                                          jpegwriter::Encode(jpegwriter::MakePhotoLike(97, 65, seed))));
        }
        paths.push_back(dir.path() + "/not-a-photo.jpg");
        QVERIFY(jpegwriter::WriteFile(paths.back(), {'n', 'o'}));
        QWidget window;
        TestRunner runner(&window);
        runner.answer = {answer, forAll};
        QCOMPARE(int(runner.Run(paths, TransformOp::Rotate90, false).size()), turned);
        QCOMPARE(runner.asked, asked);
        QVERIFY(!runner.askedOffTheUiThread);
        QCOMPARE(runner.reported.size(), size_t(1));
        QCOMPARE(runner.reported[0].path, paths.back());
    }

    void mainWindowKeepsTheTimeWhenAsked_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("kept") << true;
        QTest::newRow("not kept") << false;
    }
    void mainWindowKeepsTheTimeWhenAsked()
    {
        QFETCH(bool, keep);
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"a.jpg"});  // 96 x 64: whole blocks
        const std::string path = fixture::PathIn(dir, "a.jpg");
        const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
        QVERIFY(::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0);
        AppSettings settings = fixture::Settings(dir);
        settings.keepModificationTime = keep;
        settings.rotation = 2;  // upside down: still landscape
        auto frame = fixture::Start(settings);
        QVERIFY(frame);
        QTRY_VERIFY(fixture::Shown(*frame));
        frame->RunCommand(res::kCmdLosslessRotateRight);
        struct stat st {};
        QVERIFY(::stat(path.c_str(), &st) == 0);
        QCOMPARE(st.st_mtim.tv_sec == 1000000000, keep);
        // The view shows the file as it now is, without a turn of its own.
        QCOMPARE(settings.rotation, 0);
        QTRY_VERIFY(fixture::Shown(*frame)
                    && frame->ImageView()->Image()->Height() > frame->ImageView()->Image()->Width());
    }
};

QTEST_MAIN(TestTransformRunner)
#include "tst_transformrunner.moc"
