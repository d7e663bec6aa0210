#include <QSignalSpy>
#include <QTest>

#include "GradientView.h"
#include "ViewAlpha.h"

class TestGradientView : public QObject {
    Q_OBJECT

private slots:
    void defaults();
    void settersWaitForTheLayoutPass();
    void paintsTheGradientBetweenItsPoints_data();
    void paintsTheGradientBetweenItsPoints();
    void shadowShowsOutsideTheView();
    void fadeFollowsTheModelAlpha();
};

void TestGradientView::defaults()
{
    GradientView view;
    const GradientView::Layer& layer = view.gradientLayer();
    QCOMPARE(layer.colors[0], QColor(Qt::red));
    QCOMPARE(layer.colors[1], QColor(Qt::yellow));
    QCOMPARE(layer.startPoint, QPointF(0.0, 0.5));
    QCOMPARE(layer.endPoint, QPointF(1.0, 0.5));
    QCOMPARE(layer.cornerRadius, 0.0);
    QCOMPARE(layer.shadowColor.alpha(), 0);
    QCOMPARE(layer.shadowOffset, QSizeF(0.0, -3.0));
    QCOMPARE(layer.shadowRadius, 3.0);
    QCOMPARE(layer.shadowOpacity, 1.0);
}

void TestGradientView::settersWaitForTheLayoutPass()
{
    GradientView view;
    const QColor blue(Qt::blue);
    // Set by name, as the form does.
    const QList<std::pair<const char*, QVariant>> values{
        {"topColor", blue}, {"bottomColor", QColor(Qt::green)}, {"shadowColor", QColor(Qt::black)},
        {"shadowX", 2.0}, {"shadowY", 4.0}, {"shadowBlur", 7.0}, {"startPointX", 0.5}, {"startPointY", 0.0},
        {"endPointX", 0.5}, {"endPointY", 1.0}, {"cornerRadius", 10.0}};
    for (const auto& [name, value] : values) {
        QVERIFY(view.setProperty(name, value));
        QCOMPARE(view.property(name), value);
    }
    // Nothing drawn changes until the pass, and then everything does at once.
    QVERIFY(view.layoutPending());
    QCOMPARE(view.gradientLayer().colors[0], QColor(Qt::red));
    QCOMPARE(view.gradientLayer().cornerRadius, 0.0);
    QTRY_VERIFY(!view.layoutPending());
    const GradientView::Layer& layer = view.gradientLayer();
    QCOMPARE(layer.colors[0], blue);
    QCOMPARE(layer.colors[1], QColor(Qt::green));
    QCOMPARE(layer.shadowColor, QColor(Qt::black));
    QCOMPARE(layer.shadowOffset, QSizeF(2.0, 4.0));
    QCOMPARE(layer.shadowRadius, 7.0);
    QCOMPARE(layer.startPoint, QPointF(0.5, 0.0));
    QCOMPARE(layer.endPoint, QPointF(0.5, 1.0));
    QCOMPARE(layer.cornerRadius, 10.0);
    QCOMPARE(layer.shadowOpacity, 1.0);
    // The same value again still asks for a pass.
    view.setCornerRadius(10.0);
    QVERIFY(view.layoutPending());
}

void TestGradientView::paintsTheGradientBetweenItsPoints_data()
{
    QTest::addColumn<QPointF>("start");
    QTest::addColumn<QPointF>("end");
    QTest::addColumn<QPoint>("topSide");    // a pixel that shows the top colour
    QTest::addColumn<QPoint>("bottomSide"); // one that shows the bottom colour

    QTest::newRow("horizontal, the default") << QPointF(0, 0.5) << QPointF(1, 0.5) << QPoint(1, 50) << QPoint(198, 50);
    QTest::newRow("vertical") << QPointF(0.5, 0) << QPointF(0.5, 1) << QPoint(100, 1) << QPoint(100, 98);
}

void TestGradientView::paintsTheGradientBetweenItsPoints()
{
    QFETCH(QPointF, start);
    QFETCH(QPointF, end);
    QFETCH(QPoint, topSide);
    QFETCH(QPoint, bottomSide);

    GradientView view;
    view.resize(200, 100);
    view.setTopColor(Qt::blue);
    view.setBottomColor(Qt::green);
    view.setStartPointX(start.x());
    view.setStartPointY(start.y());
    view.setEndPointX(end.x());
    view.setEndPointY(end.y());
    view.layoutSubviews();
    const QImage image = view.grab().toImage();
    const QColor near = image.pixelColor(topSide);
    const QColor far = image.pixelColor(bottomSide);
    QVERIFY2(near.blue() > 230 && near.green() < 25, qPrintable(near.name()));
    QVERIFY2(far.green() > 230 && far.blue() < 25, qPrintable(far.name()));
}

void TestGradientView::shadowShowsOutsideTheView()
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
    QTRY_VERIFY(!view->layoutPending());
    const QImage image = parent.grab().toImage();
    // Below the view's bottom edge, where the offset shadow falls: dark.
    const QColor below = image.pixelColor(150, 50 + 60 + 3);
    QVERIFY2(below.lightness() < 200, qPrintable(below.name()));
    // Far from the view: the parent's white.
    QCOMPARE(image.pixelColor(10, 10), QColor(Qt::white));
}

void TestGradientView::fadeFollowsTheModelAlpha()
{
    GradientView view;
    ViewAlpha::setAlpha(&view, 0.0);
    QCOMPARE(view.opacity(), 0.0);
    ViewAlpha::animate(&view, {1.0, 100, 0, QEasingCurve::Linear});
    QCOMPARE(ViewAlpha::alpha(&view), 1.0);
    QTRY_COMPARE(view.opacity(), 1.0);
    // No graphics effect was needed: the view fades itself.
    QCOMPARE(view.graphicsEffect(), nullptr);
}

QTEST_MAIN(TestGradientView)
#include "tst_gradientview.moc"
