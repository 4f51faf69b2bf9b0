#pragma once

#include <QString>

// The failures of the update pipeline that the pipeline itself decides;
// network, decoding and file errors keep their own descriptions.
class UpdateError {
public:
    enum class Kind {
        http,
        checksumMismatch,
        missingSignature,
        badSignature,
        unpackFailed,
        invalidPayload
    };

    // A feed request answered outside 200–299.
    static UpdateError http(int code) { return UpdateError(Kind::http, code); }
    static UpdateError checksumMismatch() { return UpdateError(Kind::checksumMismatch); }
    static UpdateError missingSignature() { return UpdateError(Kind::missingSignature); }
    static UpdateError badSignature() { return UpdateError(Kind::badSignature); }
    static UpdateError unpackFailed() { return UpdateError(Kind::unpackFailed); }
    static UpdateError invalidPayload() { return UpdateError(Kind::invalidPayload); }

    Kind kind() const { return kind_; }
    int code() const { return code_; }
    // What the Updates screen shows.
    QString description() const;

    bool operator==(const UpdateError&) const = default;

private:
    explicit UpdateError(Kind kind, int code = 0) : kind_(kind), code_(code) {}

    Kind kind_;
    int code_;
};
