#include <QTest>

#include "GradientView.h"
#include "ViewAlpha.h"

class TestGradientView : public QObject {
    Q_OBJECT

private slots:
    void paintsTheGradientBetweenItsPoints_data()
    {
        QTest::addColumn<QPointF>("start");
        QTest::addColumn<QPointF>("end");
        QTest::addColumn<QPoint>("topSide");    // a pixel that shows the top colour
        QTest::addColumn<QPoint>("bottomSide"); // one that shows the bottom colour

        QTest::newRow("horizontal") << QPointF(0, 0.5) << QPointF(1, 0.5) << QPoint(1, 50) << QPoint(198, 50);
        QTest::newRow("vertical") << QPointF(0.5, 0) << QPointF(0.5, 1) << QPoint(100, 1) << QPoint(100, 98);
    }

    void paintsTheGradientBetweenItsPoints()
    {
        QFETCH(QPointF, start);
        QFETCH(QPointF, end);
        QFETCH(QPoint, topSide);
        QFETCH(QPoint, bottomSide);

        GradientView view;
        view.resize(200, 100);
        // Set by name, as the form does; drawn from the next layout pass on.
        for (const auto& [name, value] : QList<std::pair<const char*, QVariant>>{
                 {"topColor", QColor(Qt::blue)}, {"bottomColor", QColor(Qt::green)}, {"startPointX", start.x()},
                 {"startPointY", start.y()}, {"endPointX", end.x()}, {"endPointY", end.y()}}) {
            QVERIFY(view.setProperty(name, value));
        }
        view.show();
        QTRY_VERIFY(view.grab().toImage().pixelColor(topSide).blue() > 230);
        const QImage image = view.grab().toImage();
        QVERIFY2(image.pixelColor(topSide).green() < 25, qPrintable(image.pixelColor(topSide).name()));
        const QColor far = image.pixelColor(bottomSide);
        QVERIFY2(far.green() > 230 && far.blue() < 25, qPrintable(far.name()));
    }

    void shadowShowsOutsideTheView()
    {
        QWidget parent;
        parent.resize(300, 200);
        parent.setStyleSheet(QStringLiteral("background: white;"));
        parent.setAttribute(Qt::WA_StyledBackground);
        auto* view = new GradientView(&parent);
        view->setGeometry(100, 50, 100, 60);
        view->setShadowColor(Qt::black);
        view->setShadowY(6.0);
        view->setShadowBlur(2.0);
        parent.show();
        // Below the view's bottom edge, where the offset shadow falls: dark; far from the
        // view, the parent's white.
        QTRY_VERIFY(parent.grab().toImage().pixelColor(150, 50 + 60 + 3).lightness() < 200);
        QCOMPARE(parent.grab().toImage().pixelColor(10, 10), QColor(Qt::white));
    }

    void fadeNeedsNoGraphicsEffect()
    {
        // A widget has one graphics effect: the view fades through its own painting.
        GradientView view;
        ViewAlpha::setAlpha(&view, 0.0);
        QCOMPARE(view.opacity(), 0.0);
        ViewAlpha::animate(&view, {1.0, 100, 0, QEasingCurve::Linear});
        QTRY_COMPARE(view.opacity(), 1.0);
        QCOMPARE(view.graphicsEffect(), nullptr);
    }
};

QTEST_MAIN(TestGradientView)
#include "tst_gradientview.moc"
