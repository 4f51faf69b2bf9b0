#include "services/UpdateError.h"

QString UpdateError::description() const {
    switch (kind_) {
    case Kind::http:
        return QStringLiteral("Update feed HTTP %1.").arg(code_);
    case Kind::checksumMismatch:
        return QStringLiteral("Download checksum did not match the feed.");
    case Kind::missingSignature:
        return QStringLiteral("Update is not signed — refusing to install.");
    case Kind::badSignature:
        return QStringLiteral("Update signature is invalid.");
    case Kind::unpackFailed:
        return QStringLiteral("Could not unpack the update archive.");
    case Kind::invalidPayload:
        return QStringLiteral("Update archive is missing the server build.");
    }
    Q_UNREACHABLE();
}
