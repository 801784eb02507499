#include "doubles.h"
#include "window/mainwindow.h"

#include <QLineEdit>
#include <QTest>

using namespace vesk;
using namespace vesk::test;

class Smoke : public QObject {
    Q_OBJECT
private slots:
    void loadsAndSaves()
    {
        QTemporaryDir dir;
        writeBytes(dir.filePath(QStringLiteral("veskfrontend.ini")),
                   "Path=" + dir.filePath(QStringLiteral("vesk.cfg")).toUtf8() + "\r\n");
        writeBytes(dir.filePath(QStringLiteral("vesk.cfg")), "port = 6969\r\n# hi\r\n");
        ScriptedToolkit tk(dir.path());
        MainWindow w(tk);
        w.load();
        QCOMPARE(w.valueBox(27)->text(), QStringLiteral("6969"));
        QCOMPARE(w.changedFlag(), QStringLiteral("0"));
        w.valueBox(27)->setText(QStringLiteral("7000"));
        QVERIFY(w.save());
        QCOMPARE(readBytes(dir.filePath(QStringLiteral("vesk.cfg"))), QByteArray("port = 7000\r\n# hi\r\n\r\n"));
        QCOMPARE(readBytes(dir.filePath(QStringLiteral("veskold.cfg"))), QByteArray("port = 6969\r\n# hi\r\n"));
    }
};

QTEST_MAIN(Smoke)
#include "tst_smoke.moc"
