#pragma once

#include "StoreReview.h"

// Counts review requests instead of showing anything; its version is set by the test.
class FakeStoreReview final : public StoreReview {
public:
    explicit FakeStoreReview(ServiceVersion version = {10, 3, 0})
        : serviceVersion(version)
    {
    }

    ServiceVersion version() const override { return serviceVersion; }
    void requestReview() override { ++requests; }

    ServiceVersion serviceVersion;
    int requests = 0;
};
