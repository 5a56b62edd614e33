// The command line and the default settings.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "common/app_settings.h"
#include "app/command_line.h"

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void joinKeepsBlanksInsideArguments();
    void check_data();
    void check();
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
    // Only the first "--" ends the options; a later one is part of the name.
    const char* ended[] = {"lumvane", "--", "-a", "--", "b.jpg"};
    QCOMPARE(JoinArguments(5, ended), std::string("-a -- b.jpg"));
}

void TestCommandLine::check_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("refused");
    const int run = ArgumentCheck::Run, help = ArgumentCheck::Help, usage = ArgumentCheck::Usage;
    QTest::newRow("a path") << QStringList {"a.jpg"} << run << "";
    QTest::newRow("help after a path") << QStringList {"a.jpg", "--help"} << help << "";
    QTest::newRow("-h") << QStringList {"-h"} << help << "";
    QTest::newRow("version") << QStringList {"--version"} << int(ArgumentCheck::Version) << "";
    QTest::newRow("help after -- is a name") << QStringList {"--", "--help"} << run << "";
    QTest::newRow("unknown option") << QStringList {"--bogus", "a.jpg"} << usage << "--bogus";
    QTest::newRow("lone dash") << QStringList {"-"} << usage << "-";
    QTest::newRow("existing dash file") << QStringList {"-dash.jpg"} << run << "";
    QTest::newRow("missing dash file") << QStringList {"-gone.jpg"} << usage << "-gone.jpg";
    QTest::newRow("missing dash file after --") << QStringList {"--", "-gone.jpg"} << run << "";
    QTest::newRow("Qt option and its value") << QStringList {"-platform", "-x", "a.jpg"} << run << "";
    QTest::newRow("Qt option with =") << QStringList {"--style=fusion", "-x"} << usage << "-x";
    QTest::newRow("Qt option's prefix") << QStringList {"-platforms"} << usage << "-platforms";
    QTest::newRow("Qt takes no -platform=") << QStringList {"-platform=xcb"} << usage << "-platform=xcb";
}

void TestCommandLine::check()
{
    QFETCH(QStringList, args);
    QFETCH(int, kind);
    QFETCH(QString, refused);
    QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath("-dash.jpg")).open(QIODevice::WriteOnly));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    std::vector<std::string> bytes {"lumvane"};
    for (const QString& a : args)
        bytes.push_back(a.toStdString());
    std::vector<const char*> argv;
    for (const std::string& b : bytes)
        argv.push_back(b.c_str());
    const ArgumentCheck got = CheckArguments(int(argv.size()), argv.data());
    QDir::setCurrent(previous);
    QCOMPARE(int(got.kind), kind);
    QCOMPARE(QString::fromStdString(got.argument), refused);
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
