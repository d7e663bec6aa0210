#pragma once

#include "StoreReview.h"

// Counts review requests instead of showing anything; its version is set by the test.
class FakeStoreReview final : public StoreReview {
public:
    ServiceVersion version() const override { return serviceVersion; }
    void requestReview() override { ++requests; }

    ServiceVersion serviceVersion{10, 3, 0};
    int requests = 0;
};
