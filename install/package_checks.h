// Whether the downloaded package is the one published: the SHA-256 that the settings answer
// gives, and the publisher's signature, made offline, that verifies with the built-in key.
#pragma once

#include <optional>
#include <string>

#include "common/crypto_values.h"
#include "net/package_download.h"
#include "net/settings.h"

// A published SHA-256: exactly 64 hex digits, either case; anything else is no digest.
std::optional<Sha256Digest> ParseSha256Hex(const std::wstring& text);

// Before downloading: throws "安装包校验失败" for a malformed hash, or for a missing one when the
// build requires it.
void CheckPublishedSha256(const std::wstring& published, bool required);

// Before downloading, with a key: the published signature, or "安装包签名无效" thrown when the
// answer publishes none that is well formed. Without a key, or without a package link (whose
// absence the download reports), nothing is read.
std::optional<EcdsaSignature> ReadPublishedSignature(const DownloaderSettings& settings,
                                                     const EcdsaPublicKey* key);

// After downloading: unless the package's SHA-256 is the published one (where one is) and the
// signature verifies with the key (where a key is), deletes the package with the record of its
// download and the download folder (when nothing else is in it), and throws "安装包校验失败"
// or "安装包签名无效".
void CheckDownloadedPackage(const DownloadedPackage& package, const std::wstring& publishedSha256,
                            const std::optional<EcdsaSignature>& signature,
                            const EcdsaPublicKey* key);
