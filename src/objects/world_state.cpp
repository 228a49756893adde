#include "objects/world_state.h"

World world;

void AddObject(SceneObject *object)
{
    world.objects.emplace_back(object);
}

void WrapAtPlayfieldEdges(SceneObject &object)
{
    const Vector3 &position = object.position;
    if (position.x > playfieldX)
        object.Translate(-2.0f * playfieldX, 0.0f, 0.0f, false);
    else if (position.x < -playfieldX)
        object.Translate(2.0f * playfieldX, 0.0f, 0.0f, false);
    if (position.y > playfieldY)
        object.Translate(0.0f, -2.0f * playfieldY, 0.0f, false);
    else if (position.y < -playfieldY)
        object.Translate(0.0f, 2.0f * playfieldY, 0.0f, false);
}
