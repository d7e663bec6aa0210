#pragma once

#include <QPointer>

#include "StoreReview.h"

class QWidget;

// The desktop's review request: a small prompt that does not block anything and
// offers to open Trimora's page in the software centre. Shown over the window given,
// or the active one.
class DesktopStoreReview final : public StoreReview {
public:
    explicit DesktopStoreReview(QWidget* window = nullptr);

    // The first review-service version that takes requests: the rule of when to ask
    // stays as it is on every desktop.
    ServiceVersion version() const override { return {10, 3, 0}; }
    void requestReview() override;

private:
    QPointer<QWidget> window;
};
