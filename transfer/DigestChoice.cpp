#include "transfer/DigestChoice.h"

bool ProbeTellsOtherFile(const HeldDigest &held, const FileDigest &said)
{
    return held.source == DigestFromServer && said.algorithm == held.digest.algorithm &&
           !SameDigest(said, held.digest);
}

HeldDigest ChooseDigest(const HeldDigest &held, const FileDigest &said, bool sameVersion)
{
    if (held.source == DigestFromHost)
        return held;
    if (said.algorithm != DigestNone)
        return HeldDigest{said, DigestFromServer};
    if (sameVersion && held.source == DigestFromServer)
        return held;
    return HeldDigest{};
}

bool AnswerTellsOtherFile(const FileDigest &first, DigestFinding finding, const FileDigest &said)
{
    if (first.algorithm == DigestNone)
        return false;
    if (finding == DigestConflict)
        return true;
    return finding == DigestFound && said.algorithm == first.algorithm && !SameDigest(said, first);
}
