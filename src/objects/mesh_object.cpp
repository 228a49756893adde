#include "objects/mesh_object.h"

#include "system/opengl.h"

void MeshObject::Draw()
{
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < faceCount; ++i) {
        const Triangle &face = faces[i];
        glColor3fv(&colours[face.a].x);
        glVertex3fv(&vertices[face.a].x);
        glColor3fv(&colours[face.b].x);
        glVertex3fv(&vertices[face.b].x);
        glColor3fv(&colours[face.c].x);
        glVertex3fv(&vertices[face.c].x);
    }
    glEnd();
}

void MeshObject::SetFaces(int count, const Triangle *table)
{
    faceCount = count;
    faces.assign(table, table + count);
}
