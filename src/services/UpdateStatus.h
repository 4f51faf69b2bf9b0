#pragma once

#include <QString>
#include <optional>
#include <variant>

// Where a check or an installation of a runtime update stands. Equality
// compares the case and its payload.
class UpdateStatus {
public:
    struct Idle {
        bool operator==(const Idle&) const = default;
    };
    struct Checking {
        bool operator==(const Checking&) const = default;
    };
    // The runtime in use is as new as the feed's, or newer.
    struct UpToDate {
        bool operator==(const UpToDate&) const = default;
    };
    struct Available {
        QString version;
        // The feed's notes, or empty.
        QString notes;
        bool operator==(const Available&) const = default;
    };
    struct Downloading {
        // Absent while the size is unknown; 1.0 once the body is in.
        std::optional<double> fraction;
        bool operator==(const Downloading&) const = default;
    };
    // Checked; being unpacked, activated and the server restarted.
    struct Installing {
        bool operator==(const Installing&) const = default;
    };
    struct Installed {
        QString version;
        bool operator==(const Installed&) const = default;
    };
    struct Failed {
        QString message;
        bool operator==(const Failed&) const = default;
    };

    using Value = std::variant<Idle, Checking, UpToDate, Available, Downloading, Installing,
                               Installed, Failed>;

    UpdateStatus() = default;
    template <typename Case> UpdateStatus(Case value) : value_(std::move(value)) {}

    const Value& value() const { return value_; }
    template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
    template <typename Case> const Case* get() const { return std::get_if<Case>(&value_); }

    // A check or an installation is under way; the screen's buttons wait.
    bool isBusy() const { return is<Checking>() || is<Downloading>() || is<Installing>(); }

    bool operator==(const UpdateStatus&) const = default;

private:
    Value value_;
};
