#pragma once

#include "platform/signature/Blake2b.h"
#include "platform/signature/PublicKey.h"
#include "platform/signature/SignatureFile.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace vex::signature {

// True when the global signature, made by key, covers the signature followed by the trusted
// comment's text: the trusted comment is the signer's own.
bool TrustedCommentIsGenuine(const SignatureFile& file, const PublicKey& key);

// True when the signature, made by key, covers this hash (algorithm "ED").
bool SignsHash(const SignatureFile& file, const PublicKey& key, const Blake2b512& hash);

// True when the signature, made by key, covers these bytes (algorithm "Ed").
bool SignsBytes(const SignatureFile& file, const PublicKey& key, QByteArrayView bytes);

// SignsBytes over a file already written to disk, open at descriptor fd (for writing only, as a
// download's temporary file is): it is mapped rather than read into memory. nullopt, with why,
// when it cannot be mapped.
std::optional<bool> SignsWrittenFile(const SignatureFile& file, const PublicKey& key, int fd,
                                     QString& why);

} // namespace vex::signature
