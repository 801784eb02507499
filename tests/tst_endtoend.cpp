// Whole runs of the editor: real keystrokes and mouse clicks into the shown
// window, once through the real message and input boxes, and round trips
// of varied files through the window.

#include "config/catalogue.h"
#include "toolkit/qttoolkit.h"
#include "windowfixture.h"

#include <QClipboard>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTabBar>
#include <QTimer>

#include <deque>
#include <functional>
#include <string_view>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;
using namespace std::string_view_literals;

namespace
{

// The real toolkit, but living in a test folder and not ending the process.
class FolderToolkit : public QtToolkit
{
public:
    explicit FolderToolkit(QString folder) : m_folder(std::move(folder)) {}
    QString appFolder() override { return m_folder; }
    QString dataFolder() override { return m_folder; }
    QString writableDataFolder() override { return m_folder; }
    void end() override { ++ends; }
    int ends = 0;

private:
    QString m_folder;
};

// Answers the real modal boxes as they come up, writing down what each
// showed in the same form as the scripted toolkit's prompts.
class ModalAnswerer : public QObject
{
public:
    using Action = std::function<void(QDialog *)>;
    QStringList seen;
    std::deque<Action> actions;

    ModalAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
        m_timer.start(5);
    }

    static Action press(QMessageBox::StandardButton b)
    {
        return [b](QDialog *d) { static_cast<QMessageBox *>(d)->button(b)->click(); };
    }
    static Action typeAndOk(const QString &text)
    {
        return [text](QDialog *d) {
            static_cast<QInputDialog *>(d)->setTextValue(text);
            d->accept();
        };
    }
    static Action cancel()
    {
        return [](QDialog *d) { d->reject(); };
    }

private:
    void poll()
    {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!d || d == m_last || !d->isVisible())
            return;
        m_last = d;
        if (auto *box = qobject_cast<QMessageBox *>(d)) {
            const auto b = box->standardButtons();
            const Buttons buttons = b == QMessageBox::Ok                        ? Buttons::Ok
                                    : b == (QMessageBox::Yes | QMessageBox::No) ? Buttons::YesNo
                                                                                : Buttons::YesNoCancel;
            Answer def = Answer::Ok;
            if (buttons != Buttons::Ok)
                def = box->defaultButton() == box->button(QMessageBox::Yes) ? Answer::Yes : Answer::No;
            const bool known = b == QMessageBox::Ok || b == (QMessageBox::Yes | QMessageBox::No)
                               || b == (QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            seen << (known ? message(box->windowTitle(), box->text(), buttons,
                                     box->icon() == QMessageBox::Critical ? Icon::Critical : Icon::None, def)
                           : u"unexpected buttons"_s)
                        + (box->icon() == QMessageBox::Critical || box->icon() == QMessageBox::NoIcon
                               ? QString()
                               : u" (other icon)"_s);
        } else if (auto *in = qobject_cast<QInputDialog *>(d)) {
            seen << input(in->windowTitle(), in->labelText(), in->textValue());
        } else {
            seen << u"unexpected dialog"_s;
        }
        if (actions.empty()) {
            d->reject();
            return;
        }
        Action a = actions.front();
        actions.pop_front();
        a(d);
    }

    QTimer m_timer;
    QPointer<QDialog> m_last;
};

// A realistic file: settings out of order, categories, comments.
const QByteArray kRealistic = "# vesk tracker configuration\r\n"
                              "vesk_realm = My Tracker\r\n"
                              "port = 6969\r\n"
                              "allowed_dir = torrents\r\n"
                              "vesk_tag2 = Movies|/img/movies.png\r\n"
                              "vesk_tag1 = Music|/img/music.png\r\n"
                              "announce_interval = 1800\r\n"
                              "custom_key = kept\r\n";

// Splits decoded text at CR LF, CR and LF.
QStringList lines(const QString &text)
{
    QString t = text;
    t.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    return t.split(u'\n');
}

QString decode(const QByteArray &bytes)
{
    QByteArray b = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
    const QString utf8 = QString::fromUtf8(b);
    return utf8.toUtf8() == b ? utf8 : QString::fromLatin1(b);
}

// Loads bytes into a fresh window and saves them; returns what was written.
QByteArray loadAndSave(const QByteArray &bytes)
{
    Session s;
    s.load(bytes);
    if (!s.w.save())
        return "save failed: " + shown(s.tk).join(u'\n').toUtf8();
    return readBytes(s.cfg());
}

} // namespace

class EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    // Click the tab, click the box, retype its value, Ctrl+Q.
    void typeIntoABoxAndQuitWithSave()
    {
        Session s;
        s.load(kRealistic);
        QVERIFY(s.show());
        QTabBar *strip = s.w.tabs()->tabBar();
        QTest::mouseClick(strip, Qt::LeftButton, {}, strip->tabRect(2).center());
        QCOMPARE(s.w.tabs()->currentIndex(), 2);
        QLineEdit *port = s.box(u"port");
        QVERIFY(port->isVisible());
        QTest::mouseClick(port, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), port);
        QTest::keyClick(port, Qt::Key_End);
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(port, Qt::Key_Backspace);
        QTest::keyClicks(port, u"7000"_s);
        QVERIFY(s.w.isModified());
        QTest::keyClick(port, Qt::Key_Q, Qt::ControlModifier);

        QCOMPARE(shown(s.tk), QStringList{savedMessage()});
        QCOMPARE(s.tk.ends(), 1);
        QCOMPARE(readBytes(s.cfg()), QByteArray("allowed_dir = torrents\r\n"
                                                "announce_interval = 1800\r\n"
                                                "port = 7000\r\n"
                                                "vesk_realm = My Tracker\r\n"
                                                "vesk_tag1 = Movies|/img/movies.png\r\n"
                                                "vesk_tag2 = Music|/img/music.png\r\n"
                                                "# vesk tracker configuration\r\n"
                                                "custom_key = kept\r\n"
                                                "\r\n"));
        QCOMPARE(readBytes(s.backup()), kRealistic);
    }

    // A first start in an empty folder through the real boxes: their titles,
    // texts, buttons, icons and default buttons as the user sees them.
    void firstStartThroughTheRealBoxes()
    {
        QTemporaryDir dir;
        FolderToolkit tk(dir.path());
        ModalAnswerer answerer;
        const QString cfg = dir.filePath(u"vesk.cfg"_s);
        answerer.actions = {ModalAnswerer::press(QMessageBox::Ok), ModalAnswerer::press(QMessageBox::Ok),
                            ModalAnswerer::cancel()};
        MainWindow w(tk);
        w.load();
        QCOMPARE(answerer.seen, (QStringList{message(u"INI File Not Found"_s,
                                                     u"Could not find ini file so creating one on the fly"_s),
                                             readFailedMessage(cfg), changeLocationInput(cfg)}));
        QCOMPARE(readBytes(dir.filePath(u"veskfrontend.ini"_s)), "Path=" + cfg.toUtf8() + "\r\n");
        QVERIFY(!w.isModified());

        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), w.valueBox(slot(u"vesk_allow_search")));
        QTest::keyClicks(w.valueBox(slot(u"vesk_allow_search")), u"1"_s);
        answerer.seen.clear();
        answerer.actions = {ModalAnswerer::press(QMessageBox::Yes), ModalAnswerer::press(QMessageBox::Ok)};
        QTest::mouseClick(w.quitButton(), Qt::LeftButton);
        QCOMPARE(answerer.seen, (QStringList{quitQuestion(), savedMessage()}));
        QCOMPARE(tk.ends, 1);
        QCOMPARE(readBytes(cfg), QByteArray("vesk_allow_search = 1\r\n"));
        QVERIFY(!QFile::exists(dir.filePath(u"veskold.cfg"_s)));
    }

    // Escape and a question's close button withdraw it: the editor stays
    // open with its edits and writes nothing. Only No discards.
    void dismissingAQuestionKeepsTheEdits_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("escape"); // else the box's close button
        QTest::newRow("Quit, Escape") << u"quit"_s << true;
        QTest::newRow("Quit, close button") << u"quit"_s << false;
        QTest::newRow("window's close button, Escape") << u"close"_s << true;
        QTest::newRow("Change cfg Location's save question, Escape") << u"change"_s << true;
        QTest::newRow("Change cfg Location's save question, close button") << u"change"_s << false;
    }
    void dismissingAQuestionKeepsTheEdits()
    {
        QFETCH(QString, command);
        QFETCH(bool, escape);
        QTemporaryDir dir;
        FolderToolkit tk(dir.path());
        const QString cfg = dir.filePath(u"vesk.cfg"_s);
        writeBytes(dir.filePath(u"veskfrontend.ini"_s), "Path=" + cfg.toUtf8() + "\r\n");
        writeBytes(cfg, kRealistic);
        writeBytes(dir.filePath(u"other.cfg"_s), "port = 1\r\n");
        MainWindow w(tk);
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClicks(w.valueBox(slot(u"vesk_allow_search")), u"1"_s);

        ModalAnswerer answerer;
        const ModalAnswerer::Action dismiss =
            escape ? ModalAnswerer::Action([](QDialog *d) { QTest::keyClick(d, Qt::Key_Escape); })
                   : ModalAnswerer::Action([](QDialog *d) { d->close(); });
        if (command == u"change"_s) {
            answerer.actions = {ModalAnswerer::typeAndOk(dir.filePath(u"other.cfg"_s)), dismiss};
            w.findChild<QAction *>(u"menChangecfg"_s)->trigger();
        } else {
            answerer.actions = {dismiss};
            if (command == u"quit"_s)
                QTest::mouseClick(w.quitButton(), Qt::LeftButton);
            else
                w.close();
        }
        QCOMPARE(answerer.seen.size(), command == u"change"_s ? 2 : 1);
        QCOMPARE(tk.ends, 0);
        QVERIFY(w.isVisible());
        QCOMPARE(w.valueBox(slot(u"vesk_allow_search"))->text(), u"1"_s);
        QVERIFY(w.isModified());
        QCOMPARE(w.configPath(), cfg);
        QCOMPARE(readBytes(cfg), kRealistic);
        QVERIFY(!QFile::exists(dir.filePath(u"veskold.cfg"_s)));
    }

    // A paste never splits a value into lines of the file: each line break
    // becomes a space. (Pasted as it was, it added a category and a second
    // port line.)
    void pastedLineBreaksStayInTheValue()
    {
        Session s;
        s.load("port = 6969\r\n");
        QVERIFY(s.show());
        QLineEdit *allowSearch = s.box(u"vesk_allow_search");
        allowSearch->setFocus();
        QGuiApplication::clipboard()->setText(u"1\nvesk_tag99 = Injected|x\r\nport = 1"_s);
        QTest::keyClick(allowSearch, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(allowSearch->text(), u"1 vesk_tag99 = Injected|x port = 1"_s);
        QVERIFY(s.w.save());
        QCOMPARE(readBytes(s.cfg()),
                 QByteArray("port = 6969\r\nvesk_allow_search = 1 vesk_tag99 = Injected|x port = 1\r\n"));
    }

    // Load and save, then load that and save again: the same bytes both
    // times, and no line of the input is lost.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("realistic") << kRealistic;
        QTest::newRow("shipped sample") << readBytes(QFINDTESTDATA("../sample/vesk.cfg"));
        QTest::newRow("UTF-8") << QByteArray("vesk_realm = Z\xC3\xBCrich \xE2\x98\x83\r\n"
                                             "vesk_tag1 = \xC3\x9Cn\xC3\xAF|\xC3\xA7.png\r\n"
                                             "# \xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xB5\r\n");
        QTest::newRow("Latin-1") << QByteArray(
            "vesk_realm = Z\xFCrich\r\n# caf\xE9\r\nvesk_tag1 = \xC4|\xD6\r\n");
        QTest::newRow("CR only") << QByteArray("port = 1\rvesk_realm = x\r# note\rvesk_tag3 = A|a\r");
        QTest::newRow("LF and mixed") << QByteArray("port = 1\nvesk_realm = x\r\n# a\r# b\n\n");
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFport = 1\r\n# after the mark\r\n");
        QTest::newRow("U+00A0 and U+2029 in misc lines") << QByteArray("# a\xC2\xA0"
                                                                       "b\r\n# c\xE2\x80\xA9"
                                                                       "d\r\nport = 2\r\n# e\xE2\x80\xA8"
                                                                       "f\r\n");
        constexpr std::string_view controls = "vesk_realm = a\xE2\x80\xA9"
                                              "b\xE2\x80\xA8"
                                              "c\xEF\xB7\x90"
                                              "d\r\nport = \x01\t\x02"
                                              "x\r\nvesk_tag1 = n\xE2\x80\xA9m|i\x03j\r\n# \x1F\x7F\r\n"sv;
        QTest::newRow("separators and control characters in values")
            << QByteArray(controls.data(), qsizetype(controls.size()));
        QTest::newRow("prefixes and near misses")
            << QByteArray("portal = 5\r\nport = 6\r\nvesk_tag_file = t\r\nvesk_tag9 = nobar\r\nvesk_tag\r\n"
                          "Port = 7\r\n  port = 8\r\n");
        QTest::newRow("blank and odd lines") << QByteArray("\r\n\r\n   \r\n=\r\n|\r\n\t\r\n=port\r\n");
        QTest::newRow("no line end at the end") << QByteArray("# last\r\nport = 9");
    }
    void roundTrip()
    {
        QFETCH(QByteArray, input);
        QVERIFY(!input.isEmpty());
        const QByteArray first = loadAndSave(input);
        const QByteArray second = loadAndSave(first);
        QCOMPARE(second, first);

        const QStringList out = lines(decode(first));
        for (const QString &line : lines(decode(input))) {
            if (line.isEmpty())
                continue;
            // A line that a key claims comes back as that key's line;
            // every other line comes back as it was.
            QString claimedBy;
            for (const Setting &st : catalogue::settings())
                if (claimedBy.isEmpty() && line.startsWith(st.key))
                    claimedBy = st.key;
            if (claimedBy.isEmpty() && line.startsWith(catalogue::categoryKey()) && line.contains(u'|'))
                claimedBy = catalogue::categoryKey();
            if (claimedBy.isEmpty()) {
                QVERIFY2(out.contains(line), qPrintable(line));
            } else {
                QVERIFY2(std::any_of(out.begin(), out.end(),
                                     [&](const QString &o) { return o.startsWith(claimedBy); }),
                         qPrintable(line));
            }
        }
    }

    // Typing in the misc text keeps the characters of its other lines that
    // the text box cannot hold as they are.
    void editingTheMiscTextKeepsItsOtherLinesExact()
    {
        const QByteArray cfg = "# a\xC2\xA0"
                               "b\r\n# c\xE2\x80\xA9"
                               "d\r\n# e\xE2\x80\xA8"
                               "f\r\n# g\xEF\xB7\x90h\xEF\xB7\x91"
                               "i\r\nport = 2\r\n";
        Session s;
        s.load(cfg);
        QVERIFY(s.show());
        s.w.tabs()->setCurrentIndex(7);
        QPlainTextEdit *misc = s.w.rawText();
        misc->setFocus();
        misc->moveCursor(QTextCursor::End);
        QTest::keyClicks(misc, u"# new"_s);
        QVERIFY(s.w.save());
        QCOMPARE(readBytes(s.cfg()), QByteArray("port = 2\r\n# a\xC2\xA0"
                                                "b\r\n# c\xE2\x80\xA9"
                                                "d\r\n# e\xE2\x80\xA8"
                                                "f\r\n# g\xEF\xB7\x90h\xEF\xB7\x91"
                                                "i\r\n# new\r\n"));
    }
};

QTEST_MAIN(EndToEnd)
#include "tst_endtoend.moc"
