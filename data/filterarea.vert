#version 120
uniform vec4 area;
varying vec2 uv;

// The whole-viewport quad runs from -1 to 1 with its texture coordinates from 0 to 1, v going
// down: each corner moves to the area's and its coordinates follow it.
void main()
{
    vec2 corner = mix(area.xy, area.zw, gl_Vertex.xy * 0.5 + 0.5);
    gl_Position = gl_ModelViewProjectionMatrix * vec4(corner, gl_Vertex.zw);
    uv = gl_MultiTexCoord0.xy + (corner - gl_Vertex.xy) * vec2(0.5, -0.5);
}
