// Whether the program finds a display before the toolkit starts, by the
// toolkit's platform and the environment. A display that answers is the
// end-to-end tests' (they run the program under a private X server); here the
// displays are missing, or a Wayland socket of the test's own.

#include "window/DisplayCheck.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

// Sets or (with a null value) removes an environment variable, and puts it
// back as it was when it goes.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old, had_ = true;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

const char* orNull(const QByteArray& value)
{
    return value.isNull() ? nullptr : value.constData();
}

} // namespace

class DisplayCheckTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void findsADisplayAsTheToolkitWould_data();
    void findsADisplayAsTheToolkitWould();

private:
    QTemporaryDir runtime_;
    int listening_ = -1; // a socket standing in for a Wayland display
};

void DisplayCheckTest::initTestCase()
{
    QVERIFY(runtime_.isValid());
    const std::string path = runtime_.filePath(QStringLiteral("wayland-test")).toStdString();
    listening_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QVERIFY(listening_ >= 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    QVERIFY(path.size() < sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    QCOMPARE(::bind(listening_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    QCOMPARE(::listen(listening_, 4), 0);
}

void DisplayCheckTest::cleanupTestCase()
{
    if (listening_ >= 0)
        ::close(listening_);
}

void DisplayCheckTest::findsADisplayAsTheToolkitWould_data()
{
    QTest::addColumn<QStringList>("arguments"); // the toolkit's options
    QTest::addColumn<QByteArray>("platform");   // QT_QPA_PLATFORM; null: not set
    QTest::addColumn<QByteArray>("display");    // DISPLAY
    QTest::addColumn<QByteArray>("wayland");    // WAYLAND_DISPLAY, in the test's runtime folder
    QTest::addColumn<bool>("reachable");
    const QByteArray none;
    const QByteArray nowhere = ":4242"; // no X server listens there
    // clang-format off
    QTest::newRow("nothing set") << QStringList() << none << none << none << false;
    QTest::newRow("set but empty") << QStringList() << QByteArray("") << QByteArray("") << QByteArray("") << false;
    QTest::newRow("an X display that does not answer") << QStringList() << none << nowhere << none << false;
    QTest::newRow("-display that does not answer") << QStringList{"-display", ":4243"} << none << none << none << false;
    QTest::newRow("a Wayland display") << QStringList() << none << nowhere << QByteArray("wayland-test") << true;
    QTest::newRow("a Wayland display nobody listens on") << QStringList() << none << none << QByteArray("wayland-9") << false;
    QTest::newRow("wayland asked for") << QStringList() << QByteArray("wayland") << none << QByteArray("wayland-test") << true;
    QTest::newRow("xcb asked for, only Wayland there") << QStringList() << QByteArray("xcb") << none << QByteArray("wayland-test") << false;
    QTest::newRow("-platform xcb over the variable") << QStringList{"-platform", "xcb"} << QByteArray("offscreen") << none << none << false;
    QTest::newRow("offscreen needs no display") << QStringList() << QByteArray("offscreen") << none << none << true;
    QTest::newRow("--platform offscreen") << QStringList{"--platform", "offscreen"} << QByteArray("xcb") << none << none << true;
    QTest::newRow("offscreen after xcb in a list") << QStringList() << QByteArray("xcb;offscreen") << nowhere << none << true;
    QTest::newRow("xcb with options") << QStringList() << QByteArray("xcb:nograb") << nowhere << none << false;
    // clang-format on
}

void DisplayCheckTest::findsADisplayAsTheToolkitWould()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, wayland);
    QFETCH(bool, reachable);
    const QByteArray runtimeFolder = runtime_.path().toLocal8Bit();
    ScopedVariable runtimeVariable("XDG_RUNTIME_DIR", runtimeFolder.constData());
    ScopedVariable platformVariable("QT_QPA_PLATFORM", orNull(platform));
    ScopedVariable displayVariable("DISPLAY", orNull(display));
    ScopedVariable waylandVariable("WAYLAND_DISPLAY", orNull(wayland));
    std::vector<std::string> toolkitArguments{"qalesson"};
    for (const QString& argument : arguments)
        toolkitArguments.push_back(argument.toStdString());
    QCOMPARE(qal::displayReachable(toolkitArguments), reachable);
}

QTEST_GUILESS_MAIN(DisplayCheckTest)
#include "DisplayCheckTest.moc"
