#include "objects/world_state.h"

World world;

void AddObject(SceneObject *object)
{
    world.objects.emplace_back(object);
}
