#version 120
uniform mat4 worldMatrix;
uniform mat4 worldViewProj;
varying vec3 worldPosition;
varying vec3 worldNormal;

void main()
{
    worldPosition = (worldMatrix * gl_Vertex).xyz;
    worldNormal = mat3(worldMatrix) * gl_Normal;
    gl_Position = worldViewProj * gl_Vertex;
}
