#version 120
uniform vec4 flashColour;
uniform vec4 intensity;

void main()
{
    gl_FragColor = vec4(flashColour.rgb * intensity.rgb, 1.0);
}
