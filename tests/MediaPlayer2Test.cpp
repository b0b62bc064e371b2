// SPDX-License-Identifier: GPL-3.0-or-later
// The program's media controls as a desktop reaches them: MPRIS over a
// session bus of the test's own (dbus-daemon), called from a connection of
// its own while the program's event loop runs; a second program, and one
// with no session bus, run as the real executable.
#include <gtest/gtest.h>
#include <signal.h>

#include <QComboBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <memory>

#include "app/App.h"
#include "app/mpris/MediaPlayer2.h"
#include "support/EventLoop.h"
#include "support/Program.h"
#include "support/QtPrinters.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

using testing::RunEventLoopUntil;

const QString kService = QString::fromLatin1(MediaPlayer2::kService);
const QString kPath = QString::fromLatin1(MediaPlayer2::kPath);
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// Each PropertiesChanged the program sends, as "Name=value" (Metadata by its
// title).
class ChangeLog final : public QObject {
  Q_OBJECT

 public slots:
  void Changed(const QString& /*interface*/, const QVariantMap& changed,
               const QStringList& /*invalidated*/) {
    for (auto it = changed.cbegin(); it != changed.cend(); ++it) {
      const QString value =
          it.key() == QLatin1String("Metadata")
              ? qdbus_cast<QVariantMap>(it.value()).value(QStringLiteral("xesam:title")).toString()
              : it.value().toString();
      entries << it.key() + QLatin1Char('=') + value;
    }
  }

 public:
  QStringList entries;
};

// The program's stderr, less the offscreen platform's note on each window.
QString Said(QProcess& program) {
  QStringList lines = QString::fromLocal8Bit(program.readAllStandardError()).split('\n');
  lines.removeIf([](const QString& line) {
    return line.isEmpty() || line.contains(QLatin1String("propagateSizeHints"));
  });
  return lines.join('\n');
}

// The real program, its synth silent for want of a server, on the offscreen
// platform.
void StartProgram(QProcess& program, const QProcessEnvironment& environment) {
  program.setProcessEnvironment(environment);
  program.start(QUILLOTONE_BINARY, {"--soundfont", "/usr/share/sounds/sf2/TimGM6mb.sf2"});
  ASSERT_TRUE(program.waitForStarted());
}

class MediaPlayer2Test : public ::testing::Test, public MessageSink {
 protected:
  // One bus for the whole suite: Qt keeps the session bus it first reached.
  static void SetUpTestSuite() {
    bus_ = new QTemporaryDir();
    address_ = "unix:path=" + bus_->filePath("bus");
    daemon_ = new QProcess();
    // It prints its address once it accepts connections: the socket's file
    // is there a moment before.
    daemon_->start("dbus-daemon",
                   {"--session", "--nofork", "--print-address", "--address=" + address_});
    daemon_->waitForReadyRead(10'000);
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
  }
  static void TearDownTestSuite() {
    daemon_->kill();
    daemon_->waitForFinished();
    delete daemon_;
    delete bus_;
  }

  void SetUp() override {
    ASSERT_TRUE(daemon_->canReadLine()) << "no bus";
    testing::StartUp(
        app_, {.seed = 1, .sound = false, .mode = 0, .soundFont = {}, .midiOut = false}, this);
    desktop_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address_, QStringLiteral("desktop")));
    ASSERT_TRUE(desktop_->isConnected());
    // QtDBus binds a bus signal to a slot only by its signature.
    ASSERT_TRUE(desktop_->connect(kService, kPath, kProperties, "PropertiesChanged", &changes_,
                                  SLOT(Changed(QString, QVariantMap, QStringList))));
  }
  void TearDown() override { QDBusConnection::disconnectFromBus(QStringLiteral("desktop")); }

  void Show(const QString& text) override { shown_ << text; }

  // Calls as a desktop does: the answer comes while the program's loop runs.
  QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& args = {},
                    const QString& service = kService) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, kPath, interface, method);
    call.setArguments(args);
    QDBusPendingCallWatcher watcher(desktop_->asyncCall(call));
    // Waits for the watcher's signal, not its state: the state is set on
    // QtDBus's own thread as the answer arrives, while the signal comes as an
    // event behind those that deliver the bus signals received before it.
    bool answered = false;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, [&] { answered = true; });
    EXPECT_TRUE(RunEventLoopUntil([&] { return answered; }, 10'000)) << method.toStdString();
    EXPECT_FALSE(watcher.isError()) << watcher.error().message().toStdString();
    return watcher.reply();
  }
  QVariant Get(const QString& interface, const QString& property) {
    const QDBusMessage reply = Call(kProperties, QStringLiteral("Get"), {interface, property});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }
  Window1& window() { return app_.window1(); }

  static inline QTemporaryDir* bus_ = nullptr;
  static inline QString address_;
  static inline QProcess* daemon_ = nullptr;
  int argc_ = 1;
  char* argv_[2] = {const_cast<char*>("media_player_tests"), nullptr};
  App app_{argc_, argv_};
  std::unique_ptr<QDBusConnection> desktop_;
  ChangeLog changes_;
  QStringList shown_;
};

// One step of a user's evening: the desktop's transport or the window's
// buttons, each followed by what the desktop hears and reads.
struct Step {
  const char* action;  // a Player method, or "click start" / "click stop"
  int row;             // the popup row chosen first; -1: left as it is
  QStringList heard;   // PropertiesChanged, in order
  const char* status;  // PlaybackStatus read afterwards
  int thanks;          // thank-you boxes shown so far
};

TEST_F(MediaPlayer2Test, TransportActsAsTheButtonsDoAndTheDesktopHearsEveryChange) {
  const Step steps[] = {
      {"Play", 2, {"Metadata=lydian mode", "PlaybackStatus=Playing"}, "Playing", 0},
      {"Play", -1, {}, "Playing", 0},
      {"Pause", -1, {"PlaybackStatus=Stopped"}, "Stopped", 1},
      {"Stop", -1, {}, "Stopped", 1},
      {"PlayPause", -1, {"PlaybackStatus=Playing"}, "Playing", 1},
      {"PlayPause", -1, {"PlaybackStatus=Stopped"}, "Stopped", 2},
      {"click start", 6, {"Metadata=blues scale", "PlaybackStatus=Playing"}, "Playing", 2},
      {"Stop", -1, {"PlaybackStatus=Stopped"}, "Stopped", 3},
      {"Play", -1, {"PlaybackStatus=Playing"}, "Playing", 3},
      {"click stop", -1, {"PlaybackStatus=Stopped"}, "Stopped", 4},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.action);
    changes_.entries.clear();
    if (step.row >= 0) window().findChild<QComboBox*>("PopupMenu1")->setCurrentIndex(step.row);
    const QString action = QString::fromLatin1(step.action);
    if (action.startsWith(QLatin1String("click "))) {
      QTest::mouseClick(
          window().findChild<QPushButton*>(action.mid(6) == "start" ? "play" : "stop"),
          Qt::LeftButton);
    } else {
      Call(kPlayer, action);
    }
    // The bus keeps a sender's order: a change sent before this answer has
    // arrived with it.
    EXPECT_EQ(Get(kPlayer, "PlaybackStatus").toString(), step.status);
    EXPECT_EQ(changes_.entries, step.heard);
    EXPECT_EQ(shown_.size(), step.thanks);
  }
  EXPECT_EQ(shown_.back(), ThankYouText());
  const auto metadata = qdbus_cast<QVariantMap>(Get(kPlayer, "Metadata"));
  EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{"Quillotone"});
  EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(),
            "/example/quillotone/Quillotone/mode/6");
}

TEST_F(MediaPlayer2Test, SaysWhatItIsRaisesItsWindowAndQuitsAsCtrlQDoes) {
  const struct {
    const QString& interface;
    const char* property;
    QVariant value;
  } properties[] = {
      {kRoot, "Identity", "Quillotone"}, {kRoot, "DesktopEntry", "example.quillotone.Quillotone"},
      {kRoot, "CanRaise", true},         {kRoot, "CanQuit", true},
      {kPlayer, "CanPlay", true},        {kPlayer, "CanPause", true},
      {kPlayer, "CanGoNext", false},
  };
  for (const auto& [interface, property, value] : properties) {
    EXPECT_EQ(Get(interface, property), value) << property;
  }
  window().hide();
  Call(kRoot, "Raise");
  EXPECT_TRUE(window().isVisible());
  // Quit ends the event loop; a hung one fails the test rather than hold it.
  QTimer::singleShot(0, &app_, [this] {
    desktop_->asyncCall(QDBusMessage::createMethodCall(kService, kPath, kRoot, "Quit"));
  });
  QTimer::singleShot(30'000, &app_, [] { QCoreApplication::exit(1); });
  EXPECT_EQ(app_.exec(), 0);
}

TEST_F(MediaPlayer2Test, ASecondProgramTakesAnInstanceNameAndQuitsWhenAsked) {
  QProcess second;
  ASSERT_NO_FATAL_FAILURE(StartProgram(second, QProcessEnvironment::systemEnvironment()));
  const QString name = kService + ".instance" + QString::number(second.processId());
  EXPECT_TRUE(RunEventLoopUntil(
      [&] { return desktop_->interface()->isServiceRegistered(name).value(); }, 20'000));
  Call(kRoot, "Quit", {}, name);
  ASSERT_TRUE(second.waitForFinished(20'000));
  EXPECT_EQ(second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1, 0);
  EXPECT_EQ(Said(second), "");
  EXPECT_TRUE(desktop_->interface()->isServiceRegistered(kService).value()) << "the first's name";
}

// Without a session bus, the program runs and quits as it always has, and
// says nothing of the bus.
TEST_F(MediaPlayer2Test, WithoutABusTheProgramRunsAndSaysNothing) {
  QTemporaryDir runtime;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime.filePath("no-bus"));
  environment.insert("XDG_RUNTIME_DIR", runtime.path());
  QProcess program;
  ASSERT_NO_FATAL_FAILURE(StartProgram(program, environment));
  // SIGTERM is caught (and turned into Quit) once the program is set up:
  // the kernel lists it among the signals caught.
  const QString status = QStringLiteral("/proc/%1/status").arg(program.processId());
  const auto catchesTerm = [&] {
    QFile file(status);
    if (!file.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (line.startsWith("SigCgt:")) {
        return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
      }
    }
    return false;
  };
  ASSERT_TRUE(RunEventLoopUntil(catchesTerm, 20'000));
  program.terminate();
  ASSERT_TRUE(program.waitForFinished(20'000));
  EXPECT_EQ(program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1, 0);
  EXPECT_EQ(Said(program), "");
}

}  // namespace
}  // namespace quillotone

#include "MediaPlayer2Test.moc"
