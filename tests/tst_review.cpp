// Review Changes: the unified diff of what Save would write against the
// file on disk, and the window that shows it without changing anything.
#include "windowfixture.h"

#include "window/reviewchanges.h"

#include <QImage>
#include <QTextBlock>

using namespace vesk;
using namespace vesk::test;

namespace
{

// A file as Save writes it, with one setting per line in writing order.
const QByteArray kSaved =
    "announce_interval = 1800\r\ndfile = dstate\r\nport = 6969\r\nsocket_timeout = 15\r\n"
    "vesk_debug = 0\r\n";

QStringList viewLines(const ReviewChangesDialog *d)
{
    return d->view()->toPlainText().split(u'\n');
}
ReviewChangesDialog *review(Session &s)
{
    return reviewChanges(s.w, s.w.document(), s.w.content());
}

} // namespace

class ReviewTest : public QObject
{
    Q_OBJECT
private slots:
    void unchangedWindowShowsNoChanges()
    {
        Session s;
        s.load(kSaved);
        QVERIFY(s.show());
        s.tk.faultyFiles().clearFaults();
        const size_t logBefore = s.tk.faultyFiles().log().size();
        s.action("menReview")->trigger();
        auto *d = s.w.findChild<ReviewChangesDialog *>();
        QVERIFY(d);
        QVERIFY(d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("Review Changes"));
        QCOMPARE(d->view()->toPlainText(), QStringLiteral("No changes"));
        QVERIFY(d->view()->isReadOnly());
        QVERIFY(s.tk.prompts().empty());
        // Only reading happened.
        const QStringList reading{QStringLiteral("read "), QStringLiteral("status "),
                                  QStringLiteral("openfolder "), QStringLiteral("lock "),
                                  QStringLiteral("names ")};
        for (size_t i = logBefore; i < s.tk.faultyFiles().log().size(); ++i) {
            const QString &op = s.tk.faultyFiles().log()[i];
            QVERIFY2(std::any_of(reading.begin(), reading.end(),
                                 [&](const QString &r) { return op.startsWith(r); }),
                     qPrintable(op));
        }
        QCOMPARE(readBytes(s.cfg()), kSaved);
        QVERIFY(!QFile::exists(s.backup()));
    }

    void changedWindowShowsTheDiffAndWritesNothing()
    {
        Session s;
        s.load(kSaved);
        QVERIFY(s.show());
        s.box(u"port")->setText(QStringLiteral("7000"));
        s.box(u"vesk_debug")->clear(); // an emptied box drops its line
        s.box(u"vesk_per_page")->setText(QStringLiteral("25"));
        // Ctrl+D works from inside a value box.
        QTest::keyClick(s.box(u"vesk_per_page"), Qt::Key_D, Qt::ControlModifier);
        auto *d = s.w.findChild<ReviewChangesDialog *>();
        QVERIFY(d && d->isVisible());
        QCOMPARE(
            viewLines(d),
            (QStringList{u"--- "_qs + s.cfg() + u" (on disk)"_qs, u"+++ "_qs + s.cfg() + u" (after Save)"_qs,
                         u"@@ -1,5 +1,5 @@"_qs, u" announce_interval = 1800"_qs, u" dfile = dstate"_qs,
                         u"-port = 6969"_qs, u"+port = 7000"_qs, u" socket_timeout = 15"_qs,
                         u"-vesk_debug = 0"_qs, u"+vesk_per_page = 25"_qs}));
        QVERIFY(s.w.isModified());
        QCOMPARE(readBytes(s.cfg()), kSaved);
        QVERIFY(!QFile::exists(s.backup()));
        QVERIFY(s.tk.prompts().empty());

        // Removed lines red, added green, context plain, across the whole
        // width, in a fixed-pitch font.
        QPlainTextEdit *view = d->view();
        const QImage shot = view->viewport()->grab().toImage();
        auto colourAt = [&](int line) {
            QTextCursor c(view->document()->findBlockByNumber(line));
            const int y = view->cursorRect(c).center().y() * shot.height() / view->viewport()->height();
            return shot.pixelColor(shot.width() - 3, y);
        };
        const QColor removed = colourAt(5), added = colourAt(6), context = colourAt(4);
        QVERIFY2(removed.red() > removed.green() + 20 && removed.red() > removed.blue() + 20,
                 qPrintable(removed.name()));
        QVERIFY2(added.green() > added.red() + 20 && added.green() > added.blue() + 20,
                 qPrintable(added.name()));
        QCOMPARE(context, QColor(Qt::white));
        QCOMPARE(colourAt(8), removed);
        QCOMPARE(colourAt(9), added);
        QVERIFY(QFontInfo(view->font()).fixedPitch());

        // Escape closes it; the edits are still only in the window.
        QTest::keyClick(d->view(), Qt::Key_Escape);
        QVERIFY(!d->isVisible());
        QCOMPARE(s.box(u"port")->text(), QStringLiteral("7000"));
        QCOMPARE(readBytes(s.cfg()), kSaved);

        // Opened again after a save: the same window, now with no changes;
        // the Close button closes it.
        QVERIFY(s.w.save());
        s.action("menReview")->trigger();
        QCOMPARE(s.w.findChildren<ReviewChangesDialog *>().size(), 1);
        QVERIFY(d->isVisible());
        QCOMPARE(d->view()->toPlainText(), QStringLiteral("No changes"));
        QTest::mouseClick(d->closeButton(), Qt::LeftButton);
        QVERIFY(!d->isVisible());
    }

    void fileOnDiskMissingOrChangedSinceLoad()
    {
        Session s;
        s.load(kSaved);
        // Compared with the file as it is now, not as it was read.
        writeBytes(s.cfg(), "port = 6969\n");
        ReviewChangesDialog *d = review(s);
        QCOMPARE(viewLines(d).mid(2),
                 (QStringList{u"@@ -1 +1,5 @@"_qs, u"+announce_interval = 1800"_qs, u"+dfile = dstate"_qs,
                              u" port = 6969"_qs, u"+socket_timeout = 15"_qs, u"+vesk_debug = 0"_qs}));
        d->close();
        // Same lines, other line ends: no changes, but a note says so.
        writeBytes(s.cfg(), QByteArray(kSaved).replace("\r\n", "\n"));
        d = review(s);
        QCOMPARE(d->view()->toPlainText(), QStringLiteral("No changes"));
        QVERIFY(d->noteLabel()->text().contains(u"line"_qs));
        d->close();
        // A missing file counts as empty.
        QVERIFY(QFile::remove(s.cfg()));
        d = review(s);
        QCOMPARE(viewLines(d).at(2), u"@@ -0,0 +1,5 @@"_qs);
        QCOMPARE(viewLines(d).size(), 2 + 1 + 5);
        QVERIFY(!QFile::exists(s.cfg()));
        QVERIFY(s.tk.prompts().empty());
        // A mark, then U+FEFF opening the text: Save writes both back as read.
        Session marks;
        marks.load("\xEF\xBB\xBF\xEF\xBB\xBF# x\r\n\r\n");
        QCOMPARE(review(marks)->view()->toPlainText(), QStringLiteral("No changes"));
    }

    void notesWhatTheDiffCannotShow()
    {
        // A Latin-1 file and a typed character Latin-1 lacks: Save would
        // stop, and the window says so above the lines it would have written.
        Session s;
        s.load("port = 6969\r\n# caf\xe9\r\n");
        s.box(u"port")->setText(QStringLiteral("69\u20ac9"));
        ReviewChangesDialog *d = review(s);
        QVERIFY(d->noteLabel()->text().contains(u"\nSave would stop: "_qs));
        QVERIFY(viewLines(d).contains(u"+port = 69\u20ac9"_qs));
        QVERIFY(viewLines(d).contains(u" # caf\u00e9"_qs));
        d->close();
        // A file there that cannot be read is compared as empty, and named.
        s.tk.faultyFiles().failOn(
            {FaultyFiles::Op::Read, 1, -1, s.cfg(), QStringLiteral("Permission denied")});
        d = review(s);
        QVERIFY(d->noteLabel()->text().contains(u"The cfg file at "_qs + s.cfg()
                                                + u" could not be read (Permission denied)"_qs));
        QCOMPARE(viewLines(d).at(2), u"@@ -0,0 +1,3 @@"_qs);
        QVERIFY(s.tk.prompts().empty());
    }
};

QTEST_MAIN(ReviewTest)
#include "tst_review.moc"
