#version 120
uniform sampler2D source;
uniform vec4 texelSize;
uniform vec2 direction;
varying vec2 uv;

// Nine taps of a Gaussian with a standard deviation of two texels (weights 0.2042, 0.1802,
// 0.1238, 0.0663 and 0.0276 from the centre out), read in five: each fetch between two texels
// is filtered to their weighted sum.
void main()
{
    vec2 step = direction * texelSize.xy;
    vec4 sum = texture2D(source, uv) * 0.2042;
    sum += (texture2D(source, uv + step * 1.4072) + texture2D(source, uv - step * 1.4072)) * 0.3040;
    sum += (texture2D(source, uv + step * 3.2939) + texture2D(source, uv - step * 3.2939)) * 0.0939;
    gl_FragColor = sum;
}
