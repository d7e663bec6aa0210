#pragma once

#include <cstdint>
#include <memory>

#include <QString>

class StoreReview;
class UserDefaults;
struct ServiceVersion;

// Decides when to ask for a store review: after ACTIONS_NUMBER_FOR_REVIEWS counted
// actions (completed exports), at most once per launch. The count persists across
// launches in the user defaults; the flag that a request was made is cleared at
// every launch. Values are read and written afresh on every use.
class ReviewsHelper final {
public:
    static constexpr std::int64_t ACTIONS_NUMBER_FOR_REVIEWS = 3;
    static const QString NUMBER_OF_ACTIONS;
    static const QString ALREADY_SHOWED_REVIEW_REQUEST;

    // The helper keeps references: both services must outlive it.
    ReviewsHelper(UserDefaults& store, StoreReview& review);
    Q_DISABLE_COPY_MOVE(ReviewsHelper)

    // The one helper of the process, made on first use from the services given to
    // provideSharedServices; using it before they are given is a programming error.
    static ReviewsHelper& shared();
    // Hands the shared helper its store and review service, which it keeps for the
    // life of the process. Only possible before the first use of shared(); returns
    // whether the services were taken.
    static bool provideSharedServices(std::unique_ptr<UserDefaults> store,
                                      std::unique_ptr<StoreReview> review);

    // Fills in 0 actions and no request for keys that have no stored value.
    void registerDefaultValues();
    // Done once at every launch, before the first counted action.
    void resetReviewRequestFlag();
    // Counts actions and asks for a review when the count has reached the threshold
    // and no request was made since launch. The count goes back to 0 and the flag is
    // set even when the service is too old to take the request.
    void addActions(std::int64_t count);

    // Review requests exist from version 10.3.0 of the review service on.
    static bool versionAllowsReview(const ServiceVersion& version);

private:
    UserDefaults& defaults;
    StoreReview& storeReview;
};
