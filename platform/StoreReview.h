#pragma once

// The store-review service: its version, and the request to show a review prompt.
// Whether anything is shown is the service's decision; nothing is reported back.
struct ServiceVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;
};

class StoreReview {
public:
    virtual ~StoreReview() = default;

    virtual ServiceVersion version() const = 0;
    virtual void requestReview() = 0;
};
