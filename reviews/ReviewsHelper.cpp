#include "ReviewsHelper.h"

#include <mutex>

#include <QVariantMap>
#include <QtGlobal>

#include "StoreReview.h"
#include "UserDefaults.h"

const QString ReviewsHelper::NUMBER_OF_ACTIONS = QStringLiteral("NUMBER_OF_ACTIONS");
const QString ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST = QStringLiteral("ALREADY_SHOWED_REVIEW_REQUEST");

namespace {

struct SharedServices {
    std::mutex mutex;
    bool created = false;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<StoreReview> storeReview;
};

SharedServices& sharedServices()
{
    static SharedServices services;
    return services;
}

} // namespace

ReviewsHelper::ReviewsHelper(UserDefaults& store, StoreReview& review)
    : defaults(store)
    , storeReview(review)
{
}

bool ReviewsHelper::provideSharedServices(std::unique_ptr<UserDefaults> store,
                                          std::unique_ptr<StoreReview> review)
{
    SharedServices& services = sharedServices();
    const std::lock_guard lock(services.mutex);
    if (services.created || !store || !review)
        return false;
    services.defaults = std::move(store);
    services.storeReview = std::move(review);
    return true;
}

ReviewsHelper& ReviewsHelper::shared()
{
    // A function-local static: made once, safely from any thread.
    static ReviewsHelper helper = [] {
        SharedServices& services = sharedServices();
        const std::lock_guard lock(services.mutex);
        if (!services.defaults || !services.storeReview)
            qFatal("ReviewsHelper::shared() used before its services were provided");
        services.created = true;
        return ReviewsHelper(*services.defaults, *services.storeReview);
    }();
    return helper;
}

void ReviewsHelper::registerDefaultValues()
{
    defaults.registerDefaults({
        {NUMBER_OF_ACTIONS, QVariant::fromValue<qlonglong>(0)},
        {ALREADY_SHOWED_REVIEW_REQUEST, false},
    });
}

void ReviewsHelper::resetReviewRequestFlag()
{
    defaults.setBool(false, ALREADY_SHOWED_REVIEW_REQUEST);
}

void ReviewsHelper::addActions(std::int64_t count)
{
    // Each step reads the store again rather than trusting the value it just wrote:
    // the store is the only record.
    defaults.setInteger(defaults.integerForKey(NUMBER_OF_ACTIONS) + count, NUMBER_OF_ACTIONS);
    if (defaults.integerForKey(NUMBER_OF_ACTIONS) < ACTIONS_NUMBER_FOR_REVIEWS)
        return;
    if (defaults.boolForKey(ALREADY_SHOWED_REVIEW_REQUEST))
        return;
    if (versionAllowsReview(storeReview.version()))
        storeReview.requestReview();
    defaults.setInteger(0, NUMBER_OF_ACTIONS);
    defaults.setBool(true, ALREADY_SHOWED_REVIEW_REQUEST);
}

bool ReviewsHelper::versionAllowsReview(const ServiceVersion& version)
{
    if (version.majorVersion != 10)
        return version.majorVersion > 10;
    if (version.minorVersion != 3)
        return version.minorVersion > 3;
    return version.patchVersion >= 0;
}
