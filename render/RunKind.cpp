#include "RunKind.h"

#include "Bleepforge.h"
#include "GeneratorKinds.h"

void RunKind(Bleepforge& plug, const std::string& kind, const Recipe* recipe, unsigned seed)
{
    plug.SeedRandom(seed); // right before the generator; a render's noise continues it
    if (recipe)
        ApplyRecipe(plug, *recipe);
    else if (!kind.empty())
        (plug.*GeneratorOf(CanonicalKind(kind)))();
}
