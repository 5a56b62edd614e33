// The command line and the default settings.

#include <QDir>
#include <QFile>
#include <QTest>

#include "common/app_settings.h"
#include "app/command_line.h"

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void joinKeepsBlanksInsideArguments();
    void defaultsFollowTheScreen();
    void currentDirectoryIsAbsolute();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("nothing") << QByteArray("") << QByteArray("");
    QTest::newRow("blanks only") << QByteArray("   ") << QByteArray("");
    QTest::newRow("quoted with blanks")
        << QByteArray("\"/My Photos/a.jpg\"") << QByteArray("/My Photos/a.jpg");
    QTest::newRow("unquoted with blanks") << QByteArray("/My Photos/a.jpg") << QByteArray("/My Photos/a.jpg");
    QTest::newRow("leading blanks skipped") << QByteArray("   a.jpg") << QByteArray("a.jpg");
    QTest::newRow("blanks before a quote") << QByteArray("  \"a.jpg\"") << QByteArray("a.jpg");
    QTest::newRow("tab kept") << QByteArray("\ta.jpg") << QByteArray("\ta.jpg");
    QTest::newRow("empty quotes") << QByteArray("\"\"") << QByteArray("");
    QTest::newRow("no closing quote") << QByteArray("\"a b.jpg") << QByteArray("a b.jpg");
    QTest::newRow("two names are one path") << QByteArray("a.jpg b.jpg") << QByteArray("a.jpg b.jpg");
    QTest::newRow("text after closing quote ignored") << QByteArray("\"a.jpg\" b.jpg") << QByteArray("a.jpg");
    QTest::newRow("quote inside ends the path") << QByteArray("a\"b.jpg") << QByteArray("a");
    QTest::newRow("trailing blanks kept") << QByteArray("a.jpg  ") << QByteArray("a.jpg  ");
    QTest::newRow("bytes that are not UTF-8")
        << QByteArray("/tmp/\xff\xfe.jpg") << QByteArray("/tmp/\xff\xfe.jpg");
}

void TestCommandLine::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, path);
    QCOMPARE(QByteArray::fromStdString(ParseCommandLine(text.toStdString())), path);
}

void TestCommandLine::joinKeepsBlanksInsideArguments()
{
    const char* none[] = {"lumvane"};
    QCOMPARE(JoinArguments(1, none), std::string());
    const char* one[] = {"lumvane", "/My Photos/a b.jpg"};
    QCOMPARE(ParseCommandLine(JoinArguments(2, one)), std::string("/My Photos/a b.jpg"));
    const char* two[] = {"lumvane", "a.jpg", "b.jpg"};
    QCOMPARE(JoinArguments(3, two), std::string("a.jpg b.jpg"));
}

void TestCommandLine::defaultsFollowTheScreen()
{
    // 1023 x 767: each product is taken after its division.
    const AppSettings s = AppSettings::Defaults(1023, 767, "/home/x");
    QCOMPARE(s.windowRect, (SettingsRect {127, 95, 889, 665}));
    QCOMPARE(s.propertiesRect, (SettingsRect {170, 127, 680, 508}));
    QCOMPARE(s.mainSplitPos, 255);
    QCOMPARE(s.panelSplitPos, 255);
    QCOMPARE(s.startFolder, std::string("/home/x"));
    QVERIFY(s.commandLineFile.empty());
    // A run starts full screen, fitted both ways, with small thumbnails and a
    // five-second forward slide show that repeats.
    QCOMPARE(int(s.fullScreen), 1);
    QCOMPARE(int(s.fitHorizontally + s.fitVertically), 2);
    QCOMPARE(s.thumbnailMode, ThumbnailMode::Small);
    QCOMPARE(int(s.slideDelay), 5);
    QCOMPARE(int(s.slideBackward), 0);
    QCOMPARE(int(s.slideRepeat), 1);
    QCOMPARE(int(s.exitByEsc), 1);
    QCOMPARE(int(s.exifThumbnails), 0);
    QCOMPARE(int(s.rotation), 0);
    QCOMPARE(int(s.flipHorizontally + s.flipVertically), 0);
}

void TestCommandLine::currentDirectoryIsAbsolute()
{
    const std::string dir = CurrentDirectory();
    QVERIFY(!dir.empty());
    QCOMPARE(dir.front(), '/');
    QCOMPARE(QByteArray::fromStdString(dir), QFile::encodeName(QDir::currentPath()));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
