#pragma once

#include "platform/signature/Blake2b.h"
#include "platform/signature/PublicKey.h"
#include "platform/signature/SignatureFile.h"

#include <QByteArrayView>

namespace vex::signature {

// True when the global signature, made by key, covers the signature followed by the trusted
// comment's text: the trusted comment is the signer's own.
bool TrustedCommentIsGenuine(const SignatureFile& file, const PublicKey& key);

// True when the signature, made by key, covers this BLAKE2b-512 hash of a file's bytes.
bool SignsHash(const SignatureFile& file, const PublicKey& key, const Blake2b512& hash);

// The whole verdict on a file called name whose bytes hash to hash: made by key, its trusted
// comment the signer's own and naming this file ("file:NAME"), and its signature covering these
// bytes. A signature verifies only the bytes of the one file it was made for, in that file's
// role: the page's signature never passes for the executable, nor the other way round.
bool Verifies(const SignatureFile& file, const PublicKey& key, QByteArrayView name,
              const Blake2b512& hash);

} // namespace vex::signature
