#include <QTest>

#include "GradientView.h"

class TestGradientView : public QObject {
    Q_OBJECT

private slots:
    void paintsTheGradientAndItsShadow()
    {
        QWidget parent;
        parent.resize(300, 200);
        parent.setStyleSheet(QStringLiteral("background: white;"));
        parent.setAttribute(Qt::WA_StyledBackground);
        auto* view = new GradientView(&parent);
        view->setGeometry(100, 50, 100, 60);
        // Set by name, as the form does: top to bottom, blue to green, a shadow below.
        for (const auto& [name, value] : QList<std::pair<const char*, QVariant>>{
                 {"topColor", QColor(Qt::blue)}, {"bottomColor", QColor(Qt::green)}, {"startPointX", 0.5},
                 {"startPointY", 0.0}, {"endPointX", 0.5}, {"endPointY", 1.0}, {"shadowColor", QColor(Qt::black)},
                 {"shadowY", 6.0}, {"shadowBlur", 2.0}}) {
            QVERIFY(view->setProperty(name, value));
        }
        parent.show();
        const auto pixel = [&parent](int x, int y) { return parent.grab().toImage().pixelColor(x, y); };
        QTRY_VERIFY2(pixel(150, 51).blue() > 230 && pixel(150, 51).green() < 25, qPrintable(pixel(150, 51).name()));
        QVERIFY2(pixel(150, 108).green() > 230 && pixel(150, 108).blue() < 25, qPrintable(pixel(150, 108).name()));
        // Below the view, where the offset shadow falls, dark; far from it, the parent's white.
        QVERIFY2(pixel(150, 113).lightness() < 200, qPrintable(pixel(150, 113).name()));
        QCOMPARE(pixel(10, 10), QColor(Qt::white));
    }

};

QTEST_MAIN(TestGradientView)
#include "tst_gradientview.moc"
