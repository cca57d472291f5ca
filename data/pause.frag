#version 120
uniform sampler2D scene;
varying vec2 uv;

void main()
{
    vec3 colour = texture2D(scene, uv).rgb;
    float grey = dot(colour, vec3(0.299, 0.587, 0.114));
    gl_FragColor = vec4(mix(colour, vec3(grey), 0.85) * 0.6, 1.0);
}
