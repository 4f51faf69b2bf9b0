#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Archives, feeds and signing keys for the runtime update tests. The
// archives are written with libarchive so that a test can put in what no
// honest tool would: absolute paths, "..", links out, device nodes.
namespace UpdateFixtures {

struct TarEntry {
    // The order is that of the file types in UpdateFixtures.cpp.
    enum class Type { file, directory, symlink, hardlink, characterDevice };

    QString path;
    QByteArray data;
    Type type = Type::file;
    QString linkTarget = {};
};

QByteArray tarGz(const QList<TarEntry>& entries);

// A runtime root whose server is `serverScript` (default: one that never
// starts anything, for tests that do not run it) with its version record.
QByteArray runtimeArchive(const QString& version, const QByteArray& serverScript = "// server\n");

QString sha256Hex(const QByteArray& bytes);

// An Ed25519 key pair made for one test program.
class SigningKey {
public:
    SigningKey();
    QString publicKeyBase64() const;
    // Base64 of the signature of the text's UTF-8 bytes.
    QString sign(const QString& text) const;
    // The private key as PKCS #8 PEM, as the maker's script reads it.
    QByteArray privateKeyPem() const;

private:
    QByteArray publicKey;
    QByteArray secretKey;
};

// {"latest": {...}}; absent fields are left out.
QByteArray feedJson(const QString& version, const QString& url, const QString& sha256,
                    const std::optional<QString>& ed25519,
                    const std::optional<QString>& notes = std::nullopt);

// A new private key written as PEM in `dir`; its path and the base64 of its
// raw public key.
struct PemKey {
    QString path;
    QString publicKeyBase64;
};
PemKey makePemKey(const QString& dir);

// Runs scripts/make-runtime-patch on an already built runtime root; the
// archive and feed.json land in `outDir`. False when the script failed.
bool makeRuntimePatch(const QString& version, const PemKey& key, const QString& outDir,
                      const QString& archiveURL, const QString& runtimeRoot);

} // namespace UpdateFixtures
