#version 120
uniform sampler2D lightMap;
// Minimum x, minimum y, width and height of the area the light map covers.
uniform vec4 iLightMapDimensions;
uniform vec4 surfaceColour;
varying vec3 worldPosition;
varying vec3 worldNormal;

void main()
{
    vec2 size = max(iLightMapDimensions.zw, vec2(0.001));
    vec2 uv = vec2((worldPosition.x - iLightMapDimensions.x) / size.x,
                   1.0 - (worldPosition.y - iLightMapDimensions.y) / size.y);
    vec3 light = texture2D(lightMap, uv).rgb;
    float shade = 0.6 + 0.4 * max(dot(normalize(worldNormal), vec3(0.35, 0.81, 0.47)), 0.0);
    gl_FragColor = vec4(surfaceColour.rgb * shade * (0.2 + 1.3 * light), surfaceColour.a);
}
