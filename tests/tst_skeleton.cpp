#include <QtTest>
class tst_skeleton : public QObject { Q_OBJECT private Q_SLOTS: void builds() { QVERIFY(true); } };
QTEST_MAIN(tst_skeleton)
#include "tst_skeleton.moc"
