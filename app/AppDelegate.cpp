#include "AppDelegate.h"

#include <QGuiApplication>

#include "ReviewsHelper.h"

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
{
}

bool AppDelegate::applicationDidFinishLaunching(const QVariantMap&)
{
    ReviewsHelper& reviews = ReviewsHelper::shared();
    reviews.resetReviewRequestFlag();
    reviews.registerDefaultValues();
    return true;
}

void AppDelegate::observe(QGuiApplication& application)
{
    connect(&application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        switch (state) {
        case Qt::ApplicationActive:
            applicationDidBecomeActive();
            break;
        case Qt::ApplicationInactive:
            applicationWillResignActive();
            break;
        case Qt::ApplicationHidden:
        case Qt::ApplicationSuspended:
            applicationDidEnterBackground();
            break;
        }
    });
    connect(&application, &QGuiApplication::aboutToQuit, this, [this] { applicationWillTerminate(); });
}
